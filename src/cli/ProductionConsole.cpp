#include "ProductionConsole.h"

#include <algorithm>

#include "StopSignals.h"

namespace {

constexpr int BarCells = 10;

} // namespace

Console::Console(std::vector<std::string> labels, bool progress)
    : labels_(std::move(labels)), bars_(labels_.size()), progress_(progress)
{
}

void Console::Line(const std::string &text)
{
    std::lock_guard guard(mutex_);
    ClearBars();
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    FlushOutput(stdout);
    DrawBars();
}

void Console::Progress(size_t port, int position, int span)
{
    if (!progress_) return;
    std::lock_guard guard(mutex_);
    const int percent = span > 0 ? std::clamp(position * 100 / span, 0, 100) : 0;
    if (bars_[port] == percent) return;
    bars_[port] = percent;
    DrawBars();
}

void Console::EndProgress()
{
    std::lock_guard guard(mutex_);
    ClearBars();
    std::fill(bars_.begin(), bars_.end(), 0);
}

void Console::DrawBars()
{
    if (!progress_ || std::all_of(bars_.begin(), bars_.end(), [](int p) { return p == 0; })) return;
    std::string line = "\r";
    for (size_t i = 0; i < bars_.size(); ++i) {
        const int cells = bars_[i] * BarCells / 100;
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", bars_[i]);
        line += (i ? "  " : "") + labels_[i] + " [" + std::string(static_cast<size_t>(cells), '#') +
                std::string(static_cast<size_t>(BarCells - cells), '.') + "] " + percent;
    }
    std::fputs(line.c_str(), stderr);
    FlushOutput(stderr);
    drawn_ = true;
}

void Console::ClearBars()
{
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    FlushOutput(stderr);
    drawn_ = false;
}

void PortBar::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    SetPosition(minimum);
}

void PortBar::StepIt() { SetPosition(position_ < maximum_ ? position_ + 1 : position_); }

void PortBar::SetPosition(int position)
{
    position_ = position;
    console_.Progress(port_, position_ - minimum_, maximum_ - minimum_);
}

PrefixStream::PrefixStream(Console &console, std::string prefix) : console_(console), prefix_(std::move(prefix))
{
    static const cookie_io_functions_t io{nullptr, &PrefixStream::Write, nullptr, nullptr};
    file_ = fopencookie(this, "w", io);
}

PrefixStream::~PrefixStream()
{
    if (file_) std::fclose(file_);
    if (!partial_.empty()) console_.Line(prefix_ + partial_);
}

ssize_t PrefixStream::Write(void *cookie, const char *data, size_t n)
{
    auto *self = static_cast<PrefixStream *>(cookie);
    for (size_t i = 0; i < n; ++i) {
        if (data[i] != '\n') {
            self->partial_ += data[i];
            continue;
        }
        self->console_.Line(self->prefix_ + self->partial_);
        self->partial_.clear();
    }
    return static_cast<ssize_t>(n);
}
