// program: the file into the chip and the verify after it; --erase erases
// first, --keep-config/--keep-eeprom keep what the chip holds of those,
// --skip-identical leaves a chip that holds the image already as it is.
#include <memory>
#include <optional>

#include "Commands.h"
#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "operations/compare.h"
#include "operations/regions.h"
#include "texts/terminal_texts.h"

namespace {

// program --erase: refused (ExitRefused, saying why) when the memories
// asked for cannot be written without the bulk erase clearing others.
int RefuseRegionErase(CommandRun &run)
{
    const CliOptions &options = run.options;
    const DeviceSelection device = run.session.Device();
    if (!options.erase || options.regions == RegionAll || device.Index < 0) return ExitSuccess;
    const size_t row = static_cast<size_t>(device.Index);
    const bool hasEEData = device.Pic18 ? DeviceTable18[row].EEDataSize != 0 : DeviceTable[row].EEDataSize != 0;
    const unsigned kept = options.regions | (options.keepEeprom || !hasEEData ? RegionEEData : 0u);
    if (kept == RegionAll) return ExitSuccess;
    run.ui.DropStatus();
    run.ui.Error(texts::RegionEraseNeedsAll(SelectedDeviceName(device), hasEEData));
    run.result = "refused";
    return ExitRefused;
}

// What the chip holds of the kept memories takes the place of the file's
// and is on the disk before the chain writes anything; a read or a copy
// that fails ends the command with its outcome.
int KeepChipMemories(CommandRun &run, unsigned keep, KeptCopy &kept)
{
    OperationContext ctx = run.session.Context(run.Options());
    const uint16_t fileChecksum = ImageChecksum(run.session.Buffer(), ctx.device);
    run.outcome = KeepFromChip(ctx, keep, kept);
    if (!*run.outcome) {
        run.result = run.outcome->kind == Outcome::Refused ? "refused" : "link lost";
        return run.outcome->refusal == Refusal::KeptCopyUnwritable ? ExitFileError
               : run.outcome->kind == Outcome::Refused            ? ExitRefused
                                                                   : ExitNegative;
    }
    // The checksum said at the load is the file's; the chip gets this.
    if (const uint16_t checksum = ImageChecksum(run.session.Buffer(), ctx.device); checksum != fileChecksum) {
        run.ui.AddLog(texts::ChecksumOfKeptConfiguration(ChecksumText(checksum), Hex(fileChecksum, 4)));
        run.fields["checksum"] = Hex(checksum, 4);
        run.fields["file_checksum"] = Hex(fileChecksum, 4);
    }
    return ExitSuccess;
}

// --skip-identical: the chip read whole and compared with what the program
// would leave on it; ExitSuccess when it holds that already and is left as
// it is, the status of a read that failed, nullopt to go on programming.
std::optional<int> SkipIdentical(CommandRun &run, unsigned keep)
{
    const CliOptions &options = run.options;
    if (!options.skipIdentical) return std::nullopt;
    run.fields["skipped"] = false;
    auto chip = std::make_unique<MemoryBuffer>();
    const OperationResult read = run.session.ReadChip(*chip, run.Options(), &run.ui.MainProgress());
    if (!read) {
        run.outcome = read;
        return ExitNegative;
    }
    // Protected memories read as zeros: nothing proves the chip equal.
    if (read.readProtected) {
        run.ui.AddLog(texts::ProtectedChipProgrammedAnyway());
        return std::nullopt;
    }
    // A bulk erase leaves every memory as the file has it, blank where it
    // gives nothing; without one the memories asked for are written, and
    // the verify after it holds them to the whole of the file. What the
    // program keeps of the chip stays the chip's either way, and so do the
    // calibration words, which the comparison leaves out.
    const unsigned regions = (options.erase ? unsigned(RegionAll) : options.regions) & ~keep;
    if (!CompareImages(run.session.Buffer(), *chip, run.session.Device(), regions).Equal())
        return std::nullopt;
    run.fields["skipped"] = true;
    run.ui.AddLog(texts::ChipAlreadyHoldsImage());
    run.ui.StatusRepeatsLog(texts::ChipAlreadyHoldsImage());
    return ExitSuccess;
}

} // namespace

int ProgramCommand(CommandRun &run)
{
    const CliOptions &options = run.options;
    if (const int refused = LoadFile(run, true)) return refused;
    if (const int bad = ApplyConfigSettings(run)) return bad;
    if (const int refused = RefuseMissingConfiguration(run)) return refused;
    if (const int refused = RefuseRegionErase(run)) return refused;
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    const unsigned keep = (options.keepConfig ? RegionConfig : 0u) | (options.keepEeprom ? RegionEEData : 0u);
    if (const std::optional<int> skipped = SkipIdentical(run, keep)) return *skipped;
    KeptCopy kept;
    if (keep)
        if (const int failed = KeepChipMemories(run, keep, kept)) return failed;
    ChainRun chainRun;
    chainRun.fileName = FileBaseName(options.file);
    // A production chip's image was loaded before, on the run's own lines.
    chainRun.loadSaid = !run.image;
    chainRun.verify = options.verify;
    chainRun.fastCycle = options.fastCycle;
    if (keep) chainRun.kept = &kept;
    // A copy programmed back by hand is done with once the chip has it.
    const std::optional<KeptCopy> restoring = KeptCopyAt(options.file);
    // A chip the program could not finish is not verified: the program's
    // failure is the result, and a lost link fails at once.
    const int status =
        Chained(run, options.erase ? Chain::EraseBlankCheckProgramVerify : Chain::ProgramVerify, chainRun);
    if (restoring && status == ExitSuccess && options.verify && ForgetKeptCopy(*restoring).empty())
        run.ui.AddLog(texts::KeptCopyRestored(restoring->path));
    return status;
}
