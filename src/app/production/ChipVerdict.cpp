#include "ChipVerdict.h"

ChipVerdict CheckVerdict(const OperationResult &check)
{
    if (check.Ok()) return {"ok", ExitSuccess};
    if (check.kind == Outcome::LinkLost || check.kind == Outcome::Interrupted) return {"link lost", ExitNegative};
    return {check.refusal == Refusal::NoPort         ? "port not open"
            : check.refusal == Refusal::NoProgrammer ? "no programmer"
                                                     : "refused",
            ExitRefused};
}

ChipVerdict ChainVerdict(const StepEnded &ended)
{
    const OperationResult &o = ended.outcome;
    if (ended.Ok()) return {"ok", ExitSuccess};
    switch (ended.step) {
    case Step::Erase:
        return {"erase failed", o.kind == Outcome::Refused && o.refusal == Refusal::CalibrationLogUnwritable
                                    ? ExitFileError
                                    : ExitNegative};
    case Step::BlankCheck:
        // A blank check that could not read the chip after an erase says so;
        // the blank command alone has always called any failure not blank.
        return {o.kind == Outcome::NotBlank || ended.ran.front() == Step::BlankCheck ? "not blank"
                                                                                     : "blank check failed",
                ExitNegative};
    case Step::Program:
        return {"program failed", ExitNegative};
    case Step::Verify:
        return {"verify failed", ExitNegative};
    case Step::Read:
        return {"failed", ExitNegative};
    }
    return {"failed", ExitNegative};
}

bool LinkLost(const std::optional<OperationResult> &outcome)
{
    return outcome && outcome->LostLink();
}

void SettleChipResult(PortResult &row, const std::string &result, int status,
                      const std::optional<OperationResult> &outcome)
{
    const bool lost = LinkLost(outcome);
    row.result = lost ? "link lost" : result;
    if (lost) row.linkError = LinkFaultWord(outcome->linkFault);
    if (row.result.empty()) row.result = status ? "failed" : "ok";
    row.status = status;
}
