// identify: the DEVICE-IDs the chip in the socket gives; and -d auto, which
// selects the part they name.
#include "Commands.h"
#include "Naming.h"
#include "TerminalView.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"
#include "texts/terminal_texts.h"

namespace {

// Port and programmer as the check sees them: its refusal texts are the
// ones to show.
int RefuseWithoutProgrammer(CommandRun &run)
{
    const int refused = Check(run);
    return refused ? refused : ExitNegative;
}

} // namespace

int IdentifyCommand(CommandRun &run)
{
    OpenPortForCommand(run);
    const IdentifyReport report = run.session.Identify();
    if (!report.programmer) return RefuseWithoutProgrammer(run);
    const std::vector<ChipIdentity> &found = report.chips;
    run.result = found.empty() ? "no DEVICE-ID" : "ok";
    if (found.empty()) {
        run.ui.AddLogShowingMessages(texts::DeviceIdUnconfirmedLog());
        run.ui.SetStatus(texts::DeviceIdUnconfirmedStatus());
        return ExitNegative;
    }
    run.NoteDeviceId(found.front().Id);
    // An ID no catalogue row carries (an empty socket reading all ones, a
    // part Tarnvik does not know) is shown but is no identification.
    bool named = false;
    JsonObject chips = JsonObject::array();
    for (const ChipIdentity &chip : found) {
        named = named || !chip.Rows.empty();
        std::string names;
        JsonObject nameList = JsonObject::array();
        for (int row : chip.Rows) {
            const std::string name = SelectedDeviceName({chip.Pic18, row});
            names += (names.empty() ? "" : ", ") + name;
            nameList.push_back(name);
        }
        // The ID as the catalogue (devices) and the check know it, with the
        // silicon revision apart.
        run.ui.Print("DEVICE-ID " + DeviceIdText(chip.Id) + (chip.Pic18 ? " (PIC18)  " : " (PIC10/12/16)  ") +
                     (names.empty() ? "-" : names));
        JsonObject entry;
        AddDeviceIdFields(entry, chip.Id);
        entry["family"] = chip.Pic18 ? "PIC18" : "PIC10/12/16";
        entry["names"] = nameList;
        chips.push_back(entry);
    }
    run.fields["chips"] = chips;
    if (!named) run.result = "unknown chip";
    return named ? ExitSuccess : ExitNegative;
}

int PickDeviceFromChip(CommandRun &run)
{
    OpenPortForCommand(run);
    const DevicePicked picked = run.session.PickDeviceFromChip();
    if (!picked.programmer) return RefuseWithoutProgrammer(run);
    if (!picked.Picked()) {
        run.ui.AddLogShowingMessages(DevicePickText(picked.pick));
        run.ui.SetStatus(texts::SelectDeviceStatus());
        run.result = "refused";
        return ExitRefused;
    }
    run.ui.AddLog(DevicePickText(picked.pick));
    return ExitSuccess;
}
