// dump: the file's memories as the window's dump views show them, and its
// checksum.
#include "Commands.h"
#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "image/dump.h"

int DumpCommand(CommandRun &run)
{
    LoadFile(run, false);
    const DeviceSelection device = run.session.Device();
    if (device.Index < 0) return RefuseNoDevice(run);
    const MemoryBuffer &buffer = run.session.Buffer();
    const size_t row = static_cast<size_t>(device.Index);
    std::string program, data, config;
    if (device.Pic18) {
        const TDeviceSpec18 &d = DeviceTable18[row];
        program = ProgramDumpText(buffer, d);
        data = DataDumpText(buffer, d);
        config = ConfigDumpText18(buffer);
    } else {
        const TDeviceSpec &d = DeviceTable[row];
        program = ProgramDumpText(buffer, d);
        data = DataDumpText(buffer, d);
        config = ConfigDumpText(buffer, d);
    }
    run.ui.Print(ProgramDumpHeader(device.Pic18));
    run.ui.Print(program);
    if (!data.empty()) {
        run.ui.Print("");
        run.ui.Print(DataDumpHeader());
        run.ui.Print(data);
    }
    run.ui.Print("");
    run.ui.Print(ConfigDumpHeader(device.Pic18));
    run.ui.Print(config);
    const uint16_t checksum = ImageChecksum(buffer, device);
    run.ui.Print("");
    run.ui.Print(ChecksumText(checksum));
    run.fields["checksum"] = Hex(checksum, 4);
    return ExitSuccess;
}
