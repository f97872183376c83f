// The engine's events, which come on the ports' threads and on the round's
// worker thread, brought to the production window's thread as queued calls.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "ProductionEngine.h"

class RoundRelay : public ProductionListener {
public:
    struct Handlers {
        std::function<void(size_t, std::optional<uint64_t>)> chipStarted;
        std::function<void(size_t, const ChipResult &)> chipFinished;
        std::function<void(size_t, bool, const std::string &)> hookLine;
        std::function<void(const ProductionError &)> problem;
        std::function<void(uint64_t)> serialsContinue;
    };
    // labels: the engine's port labels, to find a finished chip's tile.
    RoundRelay(QObject *context, std::vector<std::string> labels, Handlers handlers);

    void ChipStarted(size_t port, std::optional<uint64_t> serial) override;
    void ChipFinished(const ChipResult &result) override;
    void HookLine(size_t port, bool passed, const std::string &line) override;
    void Problem(const ProductionError &error) override;
    void SerialsContinue(uint64_t next) override;

private:
    void Post(std::function<void()> call);

    QPointer<QObject> context_;
    const std::vector<std::string> labels_;
    const Handlers handlers_;
};
