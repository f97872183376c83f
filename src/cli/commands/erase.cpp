// erase: the bulk erase and the blank check after it, the calibration words
// kept or replaced by --cal1/--cal2.
#include "Commands.h"
#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "texts/erase_texts.h"

std::string EraseCalibrationProblem(const CliOptions &options, DeviceSelection device)
{
    if (options.command != CliCommand::Erase || (options.cal1.empty() && options.cal2.empty())) return {};
    if (device.Index < 0) return "--cal1/--cal2 need a device (-d)";
    const size_t row = static_cast<size_t>(device.Index);
    if (device.Pic18 || DeviceTable[row].CalibAddress1 == 0)
        return SelectedDeviceName(device) + " has no calibration words to replace";
    if (!options.cal2.empty() && DeviceTable[row].CalibAddress2 == 0)
        return SelectedDeviceName(device) + " has no second calibration word (--cal2)";
    return {};
}

int EraseCommand(CommandRun &run)
{
    // A calibration change the part's erase cannot honour is refused before
    // the port is even opened.
    const DeviceSelection device = run.session.Device();
    if (run.CalibChange() && !device.Pic18 && device.Index >= 0 &&
        !CalibChangeHonoured(DeviceTable[static_cast<size_t>(device.Index)])) {
        run.ui.AddLogShowingMessages(texts::CalibChangeRefused());
        run.ui.SetStatus(" !! " + texts::CalibChangeRefused());
        run.result = "refused";
        return ExitRefused;
    }
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    // A failed erase keeps its own texts; the blank check after it would
    // only repeat the failure under a text that says the chip was erased.
    return Chained(run, Chain::EraseBlankCheck, {});
}
