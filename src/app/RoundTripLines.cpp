#include "RoundTripLines.h"

#include <algorithm>
#include <cmath>

#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "texts/port_texts.h"

namespace {

// Bytes that cross the line each way per word (PIC10/12/16) or byte (PIC18,
// EEPROM) of a program and its verify, as wire traces of whole programs
// show them; each is one round trip.
constexpr double BytesPerWord16 = 8.0;
constexpr double BytesPerByte18 = 2.5;
constexpr double BytesPerEepromByte = 8.0;

} // namespace

int ProgramMinutesOver(double roundTripMs, DeviceSelection device)
{
    if (!IsDevice(device)) return -1;
    const size_t row = static_cast<size_t>(device.Index);
    const double bytes = device.Pic18 ? DeviceTable18[row].ProgramSize * BytesPerByte18 +
                                            DeviceTable18[row].EEDataSize * BytesPerEepromByte
                                      : DeviceTable[row].ProgramSize * BytesPerWord16 +
                                            DeviceTable[row].EEDataSize * BytesPerEepromByte;
    const double minutes = bytes * roundTripMs / 60000.0;
    return std::max(1, static_cast<int>(std::lround(minutes)));
}

std::string SlowRoundTripLine(double roundTripMs, DeviceSelection device)
{
    if (roundTripMs < SlowRoundTripMs) return {};
    const int minutes = ProgramMinutesOver(roundTripMs, device);
    if (minutes < 0) return texts::SlowRoundTrip(roundTripMs);
    return texts::SlowRoundTripProgram(roundTripMs, SelectedDeviceName(device), minutes);
}
