// A production run over a gang of ports, shared by both front ends: the
// serial numbers drawn and placed in each chip's copy of the image, each
// chip of a round on its port's thread, then the round recorded (numbers
// kept or given back, the log's rows, the hooks, the totals). The chips'
// work and the wait between rounds are the front end's; what happens comes
// back as data, through the listener and the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ProductionPlan.h"
#include "image/buffer.h"
#include "production/ProductionLog.h"
#include "production/SerialState.h"
#include "production/gang.h"

// One chip of a round, as the table, the log and the hooks know it.
using ChipResult = PortResult;

// The work of one chip, given by the front end. Run is called on the port's
// own thread with the chip's copy of the image (null without a file) and
// its serial number; it fills in the DEVICE-ID, the result word, the link
// error and the exit status (SettleChipResult). The port's label, the
// serial and the time taken are the engine's.
class ChipWork {
public:
    virtual ~ChipWork() = default;
    virtual ChipResult Run(size_t port, const MemoryBuffer *image, std::optional<uint64_t> serial) = 0;
};

enum class ProductionProblem {
    SerialNeedsDevice,    // serial numbers without a part selected
    SerialPlaceRefused,   // reason; overlapsFile: the file's data is there
    SerialListUnreadable, // reason
    SerialStateRefused,   // reason
    LogNotOpened,         // reason
    SerialNotDrawn,       // reason: the stock is spent or its file failed
    SerialTooLarge,       // number: more than the layout's cells hold
    SerialNotRecorded,    // reason: the chip's number not kept or given back
    LogRowNotWritten,     // reason
    HookFailed,           // port, passed; reason: how the hook failed
};

struct ProductionError {
    ProductionError(ProductionProblem problem, std::string reason = {})
        : problem(problem), reason(std::move(reason))
    {
    }
    ProductionProblem problem;
    std::string reason; // in the core's words, where it gives any
    bool overlapsFile = false;
    uint64_t number = 0;
    size_t port = 0;
    bool passed = false; // HookFailed: the pass hook, else the fail hook
};

// What the run tells its front end. ChipStarted and ChipFinished come on
// the port's thread; the others on the thread that runs the round.
class ProductionListener {
public:
    virtual ~ProductionListener() = default;
    virtual void ChipStarted(size_t /*port*/, std::optional<uint64_t> /*serial*/) {}
    virtual void ChipFinished(const ChipResult & /*result*/) {}
    // Every chip of the round has ended; the record follows.
    virtual void ChipsEnded() {}
    // A line the chip's hook printed.
    virtual void HookLine(size_t /*port*/, bool /*passed*/, const std::string & /*line*/) {}
    virtual void RoundRecorded(const std::vector<ChipResult> & /*results*/) {}
    virtual void Problem(const ProductionError & /*error*/) {}
    // A state file given a start carries on from its own next number.
    virtual void SerialsContinue(uint64_t /*next*/) {}
};

// The ports as the table and the log name them: an empty port is "default".
std::vector<std::string> PortLabels(const std::vector<std::string> &ports);

class ProductionEngine {
public:
    // image: loaded and judged once, for every chip (ignored without a file).
    ProductionEngine(ProductionPlan plan, const MemoryBuffer &image, ChipWork &work, ProductionListener &listener);
    ~ProductionEngine();
    ProductionEngine(const ProductionEngine &) = delete;
    ProductionEngine &operator=(const ProductionEngine &) = delete;

    // The serial stock and the log, before the first chip: the exit status
    // of a refusal, 0 when the run may start.
    int Open();
    // One round: a number per port, each chip on its port's thread, then the
    // record; false when the run is to end after it.
    bool RunRound();

    const ProductionPlan &Plan() const { return plan_; }
    const std::vector<std::string> &Labels() const { return labels_; }
    const RunTotals &Totals() const { return totals_; }
    // The run's exit status so far: the worst of its chips and problems.
    int Worst() const { return worst_; }

private:
    bool PrepareSerials();
    bool DrawNumbers(std::vector<std::optional<uint64_t>> &numbers);
    bool RecordRound(const std::vector<std::optional<uint64_t>> &numbers, const std::vector<ChipResult> &results,
                     const std::vector<int> &statuses);
    bool RunChipHook(size_t port, const ChipResult &result, bool passed);
    void Fail(ProductionError error, int status);

    const ProductionPlan plan_;
    const MemoryBuffer &image_;
    ChipWork &work_;
    ProductionListener &listener_;
    const bool hasImage_;
    const std::vector<std::string> labels_;
    RunTotals totals_;
    SerialTarget target_;
    std::unique_ptr<SerialAllocator> stock_;
    ProductionLog log_;
    std::optional<uint32_t> crc_;
    std::optional<uint16_t> checksum_;
    int worst_ = 0;
};
