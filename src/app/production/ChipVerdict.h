// A chip's result in a word or two, as the production table, the log and
// the command line's --json give it, with the exit status that goes with
// it: one mapping from the operations' outcomes, for every front end.
#pragma once

#include <optional>
#include <string>

#include "Reports.h"
#include "RunStatus.h"
#include "operations/operations.h"
#include "production/gang.h"

struct ChipVerdict {
    std::string result; // ok, refused, link lost, verify failed, ...
    int status = ExitSuccess;
};

// A check that did not pass: the link lost (or the run interrupted), else
// the refusal.
ChipVerdict CheckVerdict(const OperationResult &check);
// A chain of operations: "ok", else the step that failed.
ChipVerdict ChainVerdict(const StepEnded &ended);
// The programmer stopped answering somewhere in the chip's run: the table
// and the log say so whichever step it was.
bool LinkLost(const std::optional<OperationResult> &outcome);
// A chip's row from how its run ended: a lost link says so (with how it was
// lost) whichever step it was; a run that gave no word is "ok" or "failed"
// by its status.
void SettleChipResult(PortResult &row, const std::string &result, int status,
                      const std::optional<OperationResult> &outcome);
