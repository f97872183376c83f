#include "SimLine.h"

#include <algorithm>

namespace {

SimTime FrameEnd(SimTime t, SimTime frame)
{
    return (t / frame + 1) * frame;
}

} // namespace

SimTime SimLine::ToBoard(SimTime sent, SimTime &lineFree) const
{
    const SimTime ready = kind == LineKind::Usb ? FrameEnd(sent, frame) : sent;
    const SimTime start = std::max(ready, lineFree);
    lineFree = start + SimByteTime;
    return lineFree;
}

SimTime SimLine::ToHost(SimTime arrived) const
{
    return kind == LineKind::Usb ? FrameEnd(arrived, frame) : arrived;
}

std::string SimLine::Name() const
{
    switch (kind) {
    case LineKind::Pty:
        return "pty";
    case LineKind::Uart:
        return "uart";
    case LineKind::Usb:
        return "usb=" + std::to_string(frame / 1000000);
    }
    return {};
}

bool ParseSimLine(const std::string &text, SimLine &line)
{
    if (text == "pty" || text == "uart") {
        line = {text == "pty" ? LineKind::Pty : LineKind::Uart, 0};
        return true;
    }
    if (text.compare(0, 4, "usb=") != 0 || text.size() < 5 || text.size() > 7) return false;
    int ms = 0;
    for (char c : text.substr(4)) {
        if (c < '0' || c > '9') return false;
        ms = ms * 10 + (c - '0');
    }
    if (ms < 1 || ms > 255) return false;
    line = {LineKind::Usb, static_cast<SimTime>(ms) * 1000000};
    return true;
}
