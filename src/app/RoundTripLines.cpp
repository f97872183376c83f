#include "RoundTripLines.h"

#include <algorithm>
#include <cmath>

#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "texts/port_texts.h"

namespace {

// The exchanges in which the host waits for the programmer's answer, per
// word (PIC10/12/16) or byte (PIC18, EEPROM) of a whole-memory program with
// its verify, as wire traces of such programs show them (PIC16F877A,
// PIC18F4550; the rows of a row write go out without waiting in between).
// Each waits for one round trip.
constexpr double WaitsPerWord16 = 0.75;
constexpr double WaitsPerByte18 = 0.31;
constexpr double WaitsPerEepromByte = 2.5;

} // namespace

int WholeProgramSeconds(double roundTripMs, DeviceSelection device)
{
    if (!IsDevice(device)) return -1;
    const size_t row = static_cast<size_t>(device.Index);
    const double waits = device.Pic18 ? DeviceTable18[row].ProgramSize * WaitsPerByte18 +
                                            DeviceTable18[row].EEDataSize * WaitsPerEepromByte
                                      : DeviceTable[row].ProgramSize * WaitsPerWord16 +
                                            DeviceTable[row].EEDataSize * WaitsPerEepromByte;
    return std::max(1, static_cast<int>(std::lround(waits * roundTripMs / 1000.0)));
}

std::string SlowRoundTripLine(double roundTripMs, DeviceSelection device)
{
    if (roundTripMs < SlowRoundTripMs) return {};
    const int seconds = WholeProgramSeconds(roundTripMs, device);
    if (seconds < 0) return texts::SlowRoundTrip(roundTripMs);
    return texts::SlowRoundTripProgram(roundTripMs, SelectedDeviceName(device), seconds);
}
