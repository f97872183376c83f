#include "SessionChip.h"

#include "ChipVerdict.h"
#include "Naming.h"
#include "Session.h"

Chain ChainFor(const ProductionPlan &plan)
{
    switch (plan.command) {
    case ChipCommand::Program:
        return plan.erase ? Chain::EraseBlankCheckProgramVerify : Chain::ProgramVerify;
    case ChipCommand::Verify:
        return Chain::Verify;
    case ChipCommand::Erase:
        return Chain::EraseBlankCheck;
    case ChipCommand::Blank:
        return Chain::BlankCheck;
    }
    return Chain::BlankCheck;
}

SessionChip::SessionChip(const ProductionPlan &plan, std::function<FrontEnd &(size_t)> ui)
    : plan_(plan), ui_(std::move(ui)), quietPaths_(plan.ports.size())
{
}

ChipResult SessionChip::Run(size_t port, const MemoryBuffer *image, std::optional<uint64_t>)
{
    FrontEnd &ui = ui_(port);
    Session session(plan_.settingsPath, ui);
    const std::string &asked = plan_.ports[port];
    PortChoice choice = asked.empty() ? session.StartingChoice() : session.NamedChoice(asked);
    choice.quietPath = QuietPath(port);
    session.OpenPort(choice);
    if (image)
        session.UseImage(*image, plan_.device);
    else
        session.Select(plan_.device);
    const OperationOptions options = OperationOptionsFor(plan_.choices);
    ChipResult row;
    const CheckReport check = session.Check(options);
    // The check's own reads name the chip.
    if (check.reachedChip && check.result.deviceId) row.deviceId = DeviceIdText(*check.result.deviceId);
    std::optional<OperationResult> outcome = check.result;
    ChipVerdict verdict = CheckVerdict(check.result);
    if (check.result.Ok()) {
        ChainRun run;
        run.progress = &ui.MainProgress();
        if (image) run.fileName = FileBaseName(plan_.file);
        run.verify = plan_.verify;
        run.fastCycle = plan_.fastCycle;
        const StepEnded ended = session.RunChain(ChainFor(plan_), run, options);
        outcome = ended.outcome;
        verdict = ChainVerdict(ended);
    }
    session.Port().ClosePort();
    QuietPath(port) = session.Port().ClosedQuietPath();
    SettleChipResult(row, verdict.result, verdict.status, outcome);
    return row;
}
