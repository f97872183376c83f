#include "RoundTripLines.h"

#include <algorithm>
#include <cmath>

#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "texts/port_texts.h"

namespace {

// Bytes the host sends per word (PIC10/12/16) or byte (PIC18, EEPROM) of a
// program and its verify, as wire traces of whole-memory programs show them
// (PIC16F877A, PIC18F4550); each waits for its round trip.
constexpr double BytesPerWord16 = 3.5;
constexpr double BytesPerByte18 = 1.33;
constexpr double BytesPerEepromByte = 8.0;

} // namespace

int WholeProgramSeconds(double roundTripMs, DeviceSelection device)
{
    if (!IsDevice(device)) return -1;
    const size_t row = static_cast<size_t>(device.Index);
    const double bytes = device.Pic18 ? DeviceTable18[row].ProgramSize * BytesPerByte18 +
                                            DeviceTable18[row].EEDataSize * BytesPerEepromByte
                                      : DeviceTable[row].ProgramSize * BytesPerWord16 +
                                            DeviceTable[row].EEDataSize * BytesPerEepromByte;
    return std::max(1, static_cast<int>(std::lround(bytes * roundTripMs / 1000.0)));
}

std::string SlowRoundTripLine(double roundTripMs, DeviceSelection device)
{
    if (roundTripMs < SlowRoundTripMs) return {};
    const int seconds = WholeProgramSeconds(roundTripMs, device);
    if (seconds < 0) return texts::SlowRoundTrip(roundTripMs);
    return texts::SlowRoundTripProgram(roundTripMs, SelectedDeviceName(device), seconds);
}
