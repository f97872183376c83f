#include "RoundRelay.h"

#include <QMetaObject>
#include <QThread>

// Each call takes its handler along, so one still queued does not need the
// relay itself.

RoundRelay::RoundRelay(QObject *context, std::vector<std::string> labels, Handlers handlers)
    : context_(context), labels_(std::move(labels)), handlers_(std::move(handlers))
{
}

void RoundRelay::Post(std::function<void()> call)
{
    QObject *context = context_.data();
    if (!context) return;
    if (QThread::currentThread() == context->thread())
        call(); // Open() runs on the window's thread
    else
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

void RoundRelay::ChipStarted(size_t port, std::optional<uint64_t> serial)
{
    Post([h = handlers_.chipStarted, port, serial] { h(port, serial); });
}

void RoundRelay::ChipFinished(const ChipResult &result)
{
    // The engine names the chip by its port's label alone; labels are the
    // ports as given, one a board.
    size_t port = 0;
    while (port + 1 < labels_.size() && labels_[port] != result.port)
        ++port;
    Post([h = handlers_.chipFinished, port, result] { h(port, result); });
}

void RoundRelay::HookLine(size_t port, bool passed, const std::string &line)
{
    Post([h = handlers_.hookLine, port, passed, line] { h(port, passed, line); });
}

void RoundRelay::Problem(const ProductionError &error)
{
    Post([h = handlers_.problem, error] { h(error); });
}

void RoundRelay::SerialsContinue(uint64_t next)
{
    Post([h = handlers_.serialsContinue, next] { h(next); });
}
