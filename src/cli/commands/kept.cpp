// kept: the copies of chips' memories that wait to be programmed back.
#include "Commands.h"
#include "operations/operations.h"
#include "texts/terminal_texts.h"

int KeptCommand(CommandRun &run)
{
    JsonObject rows = JsonObject::array();
    const std::vector<KeptCopy> copies = ListKeptCopies();
    for (const KeptCopy &copy : copies) {
        run.ui.Print(copy.time + "  " + copy.device + "  DEVICE-ID " + copy.deviceId + "  " +
                     KeptRegionNames(copy.regions) + "  " + copy.path);
        rows.push_back({{"time", copy.time},
                        {"device", copy.device},
                        {"device_id", copy.deviceId == "----" ? JsonObject(nullptr) : JsonObject(copy.deviceId)},
                        {"memories", KeptRegionNames(copy.regions)},
                        {"path", copy.path}});
    }
    if (copies.empty()) run.ui.AddLog(texts::NoKeptCopies(KeptFolder()));
    run.fields["kept"] = rows;
    return ExitSuccess;
}
