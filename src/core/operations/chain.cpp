#include "operations/chain.h"

#include <algorithm>
#include <optional>

#include "support/interrupt.h"
#include "texts/chain_texts.h"
#include "texts/load_texts.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"
#include "texts/read_texts.h"

namespace {

// A text for the status line and one for the progress dialog; an empty one
// leaves its place as it is.
struct Say {
    std::string status, dialog;
    // Not empty: the status follows this step done, the two joined as the
    // window's status bar shows them.
    std::string done;
    // The step done is the load the front end has said already.
    bool doneSaid = false;
};

// Where a text goes on a surface: the status line, or the progress dialog
// (and the status line too when both).
Say On(Surface surface, const std::string &text, bool bothOnDialog = false)
{
    if (surface == Surface::StatusLine) return {text, "", ""};
    return {bothOnDialog ? text : "", text, ""};
}

// The same for a text that follows a step done.
Say After(Surface surface, const std::string &done, const std::string &next)
{
    Say say = On(surface, texts::DoneThenNext(done, next));
    if (!say.status.empty()) say = {next, say.dialog, done};
    return say;
}

std::string Loaded(const ChainRun &run)
{
    return texts::LoadedStatus(run.fileName);
}

// A text that follows the load of the chain's file.
Say AfterLoad(const ChainRun &run, Surface surface, const std::string &next)
{
    Say say = After(surface, Loaded(run), next);
    say.doneSaid = run.loadSaid;
    return say;
}

// ---- the texts between the steps ----

// Before a step, after the step before it (none for the first).
Say Before(const ChainRun &run, Surface surface, Chain chain, Step step, const Step *previous)
{
    const bool file = !run.fileName.empty();
    switch (step) {
    case Step::Read:
        return On(surface, texts::ReadingDevice(), true);
    case Step::Erase:
        return {};
    case Step::BlankCheck:
        if (!previous) return On(surface, texts::BlankChecking());
        if (!file) return After(surface, texts::Erased(), texts::BlankChecking());
        if (surface == Surface::ProgressDialog)
            return {texts::BlankChecking(), texts::FileLoadedBlankChecking(run.fileName), Loaded(run), run.loadSaid};
        return {texts::BlankChecking(), "", Loaded(run), run.loadSaid};
    case Step::Program:
        if (!previous) {
            if (chain == Chain::Program) return On(surface, texts::WritingDevice(), true);
            return file ? AfterLoad(run, surface, texts::Writing()) : On(surface, texts::Writing());
        }
        if (*previous == Step::Erase) return After(surface, texts::Erased(), texts::Writing());
        if (*previous == Step::Verify)
            return After(surface, texts::VerifiedOk(), texts::WritingConfiguration());
        return After(surface, texts::EraseOk(),
                     file || surface == Surface::ProgressDialog ? texts::WritingSpelledOut()
                                                                : texts::Writing());
    case Step::Verify:
        return previous ? After(surface, texts::Written(), texts::Verifying())
                        : On(surface, texts::Verifying());
    }
    return {};
}

// After a blank check that followed an erase.
Say AfterErasedBlankCheck(const ChainRun &run, Surface surface, Chain chain, const OperationResult &result,
                          bool last)
{
    const bool file = !run.fileName.empty();
    if (result.Ok()) return last ? After(surface, texts::EraseOk(), texts::DeviceBlank()) : Say{};
    if (result.kind != Outcome::NotBlank) return {}; // a lost link keeps its own text
    if (surface == Surface::ProgressDialog) return {"", texts::ErasedNotBlankMark(file), ""};
    if (chain == Chain::EraseBlankCheckProgramVerify && !file) return {texts::EraseFailedNotBlank(), "", ""};
    return {texts::ErasedDeviceNotBlank(), "", ""};
}

void Tell(FrontEnd &ui, const Say &say)
{
    if (!say.done.empty())
        ui.SetStatusAfter(say.done, say.status, say.doneSaid);
    else if (!say.status.empty())
        ui.SetStatus(say.status);
    if (!say.dialog.empty()) ui.SetDialogStatus(say.dialog);
}

OperationResult RunStep(OperationContext &ctx, Step step, ProgressBar *progress)
{
    switch (step) {
    case Step::Read:
        return ReadDevice(ctx, progress);
    case Step::Erase:
        return EraseDevice(ctx);
    case Step::BlankCheck:
        return BlankCheckDevice(ctx, progress);
    case Step::Program:
        return ProgramDevice(ctx, progress);
    case Step::Verify:
        return VerifyDevice(ctx, progress);
    }
    return {};
}

} // namespace

std::vector<Step> ChainSteps(Chain chain)
{
    switch (chain) {
    case Chain::Read:
        return {Step::Read};
    case Chain::Erase:
        return {Step::Erase};
    case Chain::BlankCheck:
        return {Step::BlankCheck};
    case Chain::Program:
        return {Step::Program};
    case Chain::Verify:
        return {Step::Verify};
    case Chain::EraseBlankCheck:
        return {Step::Erase, Step::BlankCheck};
    case Chain::ProgramVerify:
        return {Step::Program, Step::Verify};
    case Chain::EraseBlankCheckProgramVerify:
        return {Step::Erase, Step::BlankCheck, Step::Program, Step::Verify};
    }
    return {};
}

namespace {

// A configuration that protects the chip would make every protected
// memory read back as zeros before it was verified: program memory, EEPROM
// and User-IDs are written and verified first, then the configuration alone.
// The memories each step works on, beside the steps.
std::vector<unsigned> ProtectedOrder(OperationContext &ctx, std::vector<Step> &steps)
{
    const unsigned regions = ctx.options.regions;
    std::vector<unsigned> perStep(steps.size(), regions);
    const auto program = std::find(steps.begin(), steps.end(), Step::Program);
    const unsigned rest = regions & ~static_cast<unsigned>(RegionConfig);
    if (program == steps.end() || !(regions & RegionConfig) || rest == 0 || !ctx.options.protects ||
        !ctx.options.protects(ctx.device, ctx.buffer))
        return perStep;
    ctx.ui.AddLog(texts::ConfigurationWrittenLast());
    const size_t p = static_cast<size_t>(program - steps.begin());
    const bool verifies = p + 1 < steps.size() && steps[p + 1] == Step::Verify;
    steps.resize(p);
    perStep.resize(p);
    for (Step step : verifies ? std::vector<Step>{Step::Program, Step::Verify} : std::vector<Step>{Step::Program})
        steps.push_back(step), perStep.push_back(rest);
    for (Step step : verifies ? std::vector<Step>{Step::Program, Step::Verify} : std::vector<Step>{Step::Program})
        steps.push_back(step), perStep.push_back(RegionConfig);
    return perStep;
}

// The memories a program keeps of the chip, across the chain: interrupts
// wait from the chain's first write until the last program step that puts
// them back has ended, as they wait through an erase for the calibration
// words; the copy on the disk goes once they are back, and stays, named
// with the way to restore it, when they are not.
class KeptWriteBack {
public:
    KeptWriteBack(OperationContext &ctx, const KeptCopy *kept, const std::vector<Step> &steps,
                  const std::vector<unsigned> &regions)
        : ctx_(ctx), kept_(kept)
    {
        if (!kept_) return;
        for (size_t i = 0; i < steps.size(); ++i)
            if (steps[i] == Step::Program && (regions[i] & kept_->regions)) last_ = i;
        // Without a step that writes them back they could only be lost.
        if (!last_) kept_ = nullptr;
    }

    void Starting(size_t i)
    {
        if (!kept_ || restored_ || i > *last_) return;
        if (!hold_) hold_.emplace();
        touched_ = true;
    }

    void Ended(size_t i, const OperationResult &result)
    {
        if (!kept_) return;
        if (i == *last_ && result.Ok()) {
            restored_ = true;
            hold_.reset();
        }
        // A closing verify that finds a kept memory different says they are
        // not back after all.
        for (const MemoryDifferences &d : result.differing)
            if ((d.memory == Memory::EEData && (kept_->regions & RegionEEData)) ||
                (d.memory == Memory::Configuration && (kept_->regions & RegionConfig)))
                restored_ = false;
    }

    // True when the copy stays because the kept memories may be gone from
    // the chip.
    bool Finish()
    {
        if (!kept_) return false;
        hold_.reset();
        // Nothing written yet: the chip still holds what the copy holds.
        if (!touched_ || restored_) {
            ForgetKeptCopy(*kept_);
            return false;
        }
        FrontEnd &ui = ctx_.ui;
        ui.AddLogShowingMessages(texts::KeptNotWrittenBack(KeptMemoriesText(kept_->regions), kept_->path));
        ui.AddLogShowingMessages(ui.KeptRestoreHint(ctx_.port.PortName(), kept_->device,
                                                    KeptRegionNames(kept_->regions), kept_->path));
        return true;
    }

private:
    OperationContext &ctx_;
    const KeptCopy *kept_;
    std::optional<size_t> last_;
    bool touched_ = false, restored_ = false;
    std::optional<InterruptHold> hold_;
};

// Whether a verify after step i compares the memory. A chain stopped
// before it (a failure, an interrupt) ends failed, so no chip passes with
// what that verify would have proven unproven.
bool VerifiedLater(const std::vector<Step> &steps, const std::vector<unsigned> &regions, size_t i,
                   unsigned memory)
{
    for (size_t j = i + 1; j < steps.size(); ++j)
        if (steps[j] == Step::Verify && (regions[j] & memory)) return true;
    return false;
}

} // namespace

ChainResult RunChain(OperationContext &ctx, Chain chain, const ChainRun &run)
{
    std::vector<Step> steps = ChainSteps(chain);
    if (!run.verify) std::erase(steps, Step::Verify);
    // Only a closing verify can stand in for the blank check.
    const bool verifies = std::find(steps.begin(), steps.end(), Step::Verify) != steps.end();
    if (run.fastCycle && verifies && chain == Chain::EraseBlankCheckProgramVerify)
        std::erase(steps, Step::BlankCheck);
    const std::vector<unsigned> regions = ProtectedOrder(ctx, steps);
    const unsigned asked = ctx.options.regions;

    ChainResult chainResult;
    KeptWriteBack keep(ctx, run.kept, steps, regions);
    bool failed = false;
    bool erased = false;        // an erase of this chain went through
    size_t last = steps.size(); // after a failure: the verify that still reports
    for (size_t i = 0; i < steps.size() && i < last; ++i) {
        const Step step = steps[i];
        const Step *previous = i ? &steps[i - 1] : nullptr;
        // An erase once begun runs to its end; one not yet begun is not
        // started.
        if (step == Step::Erase && InterruptRequested()) {
            chainResult.outcome = OperationResult{};
            chainResult.outcome.kind = Outcome::Interrupted;
            chainResult.ended = step;
            chainResult.keptPending = keep.Finish();
            return chainResult;
        }
        Tell(ctx.ui, Before(run, ctx.surface, chain, step, previous));
        keep.Starting(i);
        ctx.options.regions = regions[i];
        const bool erasedBefore = ctx.options.erasedBefore, verifiedAfter = ctx.options.verifiedAfter;
        if (step == Step::Program && erased) ctx.options.erasedBefore = true;
        if (step == Step::Program) ctx.options.verifiedAfter = VerifiedLater(steps, regions, i, RegionEEData);
        const OperationResult result = RunStep(ctx, step, step == Step::Erase ? nullptr : run.progress);
        ctx.options.regions = asked;
        ctx.options.erasedBefore = erasedBefore;
        ctx.options.verifiedAfter = verifiedAfter;
        if (step == Step::Erase && result.Ok()) erased = true;
        keep.Ended(i, result);
        chainResult.ran.push_back(step);
        if (result.calibrationReplaced) chainResult.calibrationReplaced = true;
        if (step == Step::BlankCheck && previous && *previous == Step::Erase)
            Tell(ctx.ui, AfterErasedBlankCheck(run, ctx.surface, chain, result, i + 1 == steps.size()));
        if (!failed) {
            chainResult.outcome = result;
            chainResult.ended = step;
        }
        if (result.Ok()) continue;
        failed = true;
        const bool verifyNext = step == Step::Program && i + 1 < steps.size() && steps[i + 1] == Step::Verify;
        if (!(verifyNext && run.verifyAfterFailedProgram)) break;
        last = i + 2;
    }
    chainResult.keptPending = keep.Finish();
    return chainResult;
}
