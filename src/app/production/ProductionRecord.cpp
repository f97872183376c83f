// After a round: the numbers kept or given back, the log's rows, the hooks
// and the totals.
#include <algorithm>
#include <ctime>
#include <sstream>

#include "ProductionEngine.h"
#include "RunStatus.h"
#include "production/ChipHook.h"
#include "support/textutil.h"

// The chip's hook, after its row is in the log; false when it failed or ran
// out of time, which ends the run after this round (nothing done is undone).
bool ProductionEngine::RunChipHook(size_t port, const ChipResult &r, bool passed)
{
    const std::vector<std::string> &words = passed ? plan_.onPass : plan_.onFail;
    if (words.empty()) return true;
    const HookRun run = RunHook(words,
                                {{"TARNVIK_PORT", labels_[port]},
                                 {"TARNVIK_RESULT", passed ? "pass" : "fail"},
                                 {"TARNVIK_REASON", passed ? std::string() : r.result},
                                 {"TARNVIK_SERIAL", r.serial},
                                 {"TARNVIK_DEVICE_ID", r.deviceId},
                                 {"TARNVIK_CHECKSUM", checksum_ ? Hex(*checksum_, 4) : std::string()},
                                 {"TARNVIK_FILE", plan_.file}},
                                plan_.hookSeconds * 1000);
    std::istringstream output(run.output);
    for (std::string line; std::getline(output, line);)
        listener_.HookLine(port, passed, line);
    ProductionError failed{ProductionProblem::HookFailed, HookFailure(run)};
    if (failed.reason.empty()) return true;
    failed.port = port;
    failed.passed = passed;
    Fail(failed, ExitNegative);
    return false;
}

// False when the stock, the log or a hook failed, which ends the run.
bool ProductionEngine::RecordRound(const std::vector<std::optional<uint64_t>> &numbers,
                                   const std::vector<ChipResult> &results, const std::vector<int> &statuses)
{
    bool fine = true;
    for (size_t i = 0; i < labels_.size(); ++i) {
        const bool passed = statuses[i] == ExitSuccess;
        totals_.Add(i, passed);
        // Only a chip that programmed and verified keeps its number.
        std::string error;
        if (numbers[i] && !(passed ? stock_->Consume(*numbers[i], error) : stock_->GiveBack(*numbers[i], error))) {
            Fail({ProductionProblem::SerialNotRecorded, error}, ExitFileError);
            fine = false;
        }
        const ChipResult &r = results[i];
        if (log_.IsOpen() && !log_.Append({std::time(nullptr), labels_[i], DeviceName(plan_.device), r.deviceId,
                                           r.serial, r.result, crc_, r.elapsedMs, checksum_, r.linkError},
                                          error)) {
            Fail({ProductionProblem::LogRowNotWritten, error}, ExitFileError);
            fine = false;
        }
        if (!RunChipHook(i, r, passed)) fine = false;
    }
    listener_.RoundRecorded(results);
    worst_ = std::max(worst_, WorstStatus(statuses));
    return fine;
}
