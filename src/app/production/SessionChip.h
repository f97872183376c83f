// A production chip over a Session of its own: the port opened, the chip
// checked, then the command's chain of operations, with the result words
// and exit statuses every front end gives a chip.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "FrontEnd.h"
#include "ProductionEngine.h"
#include "ProductionPlan.h"

class SessionChip : public ChipWork {
public:
    // ui(port): the front end the port's session reports to; it is used on
    // the port's thread only, while the chip runs.
    SessionChip(const ProductionPlan &plan, std::function<FrontEnd &(size_t)> ui);
    ChipResult Run(size_t port, const MemoryBuffer *image, std::optional<uint64_t> serial) override;

private:
    // Each port's entry is touched only by the port's own thread.
    std::string &QuietPath(size_t port) { return quietPaths_[port]; }

    const ProductionPlan &plan_;
    std::function<FrontEnd &(size_t)> ui_;
    // The device each port's last chip closed quiet, for the next chip's open.
    std::vector<std::string> quietPaths_;
};

// The chain of operations the plan's command runs after the check.
Chain ChainFor(const ProductionPlan &plan);
