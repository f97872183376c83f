#include "SimReplay.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/checked_file.h"
#include "support/textutil.h"

namespace {

// Far beyond the trace of any session, short of a file that never ends.
constexpr size_t MaxTraceBytes = 512u << 20;

struct Segment {
    std::string port;
    std::vector<TraceEvent> events;
};

// "12.345678" as nanoseconds; false for anything else.
bool ParseSeconds(const std::string &text, SimTime &time)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char *end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (*end != '\0') return false;
    time = static_cast<SimTime>(seconds * 1e9 + 0.5);
    return true;
}

} // namespace

bool ReadTraceForReplay(const std::string &path, std::vector<TraceEvent> &events, std::string &error,
                        long &cutLine)
{
    cutLine = 0;
    std::string text;
    if (const int failed = ReadRegularFile(path, MaxTraceBytes, text); failed != 0) {
        error = "cannot read " + path + ": " + ErrorText(failed);
        return false;
    }
    std::vector<Segment> segments(1);
    bool opened = false;
    long number = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        ++number;
        // Every line is written with its line end: one without is where a
        // crash or a full disk cut the trace, and what it holds is not to
        // be trusted (a port name, a byte cut short).
        if (end == std::string::npos) {
            cutLine = number;
            break;
        }
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string when, what, value;
        fields >> when >> what >> value;
        SimTime time = 0;
        const auto bad = [&] {
            error = path + ":" + std::to_string(number) + ": not a trace line";
            return false;
        };
        if (!ParseSeconds(when, time)) return bad();
        if (what == "open") {
            if (value.empty()) return bad();
            segments.push_back({value, {}});
            opened = true;
        } else if (what == "close" || what == "lines") {
            // What the host did around the bytes; the replay plays the bytes.
        } else if (what == ">" || what == "<") {
            unsigned byte = 0;
            if (value.size() != 2 || std::sscanf(value.c_str(), "%2x", &byte) != 1) return bad();
            segments.back().events.push_back({time, what == ">", static_cast<uint8_t>(byte)});
        } else {
            return bad();
        }
    }
    events.clear();
    if (!opened) {
        events = std::move(segments.front().events);
        return true;
    }
    const std::string &played = segments.back().port;
    for (size_t i = 1; i < segments.size(); ++i)
        if (segments[i].port == played)
            events.insert(events.end(), segments[i].events.begin(), segments[i].events.end());
    return true;
}

TraceReplay::TraceReplay(std::vector<TraceEvent> events) : events_(std::move(events))
{
    SkipToNext(nextHost_, true);
    SkipToNext(nextBoard_, false);
}

void TraceReplay::SkipToNext(size_t &cursor, bool fromHost)
{
    while (cursor < events_.size() && events_[cursor].fromHost != fromHost)
        ++cursor;
}

void TraceReplay::Receive(uint8_t value, SimTime now)
{
    ++hostCount_;
    if (nextHost_ >= events_.size()) {
        if (divergence_.empty())
            divergence_ = "the host sent more than the trace holds (byte " + std::to_string(hostCount_) + ")";
        return;
    }
    const TraceEvent &e = events_[nextHost_];
    if (e.value != value && divergence_.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "the host's byte %zu is %02X where the trace has %02X", hostCount_,
                      value, e.value);
        divergence_ = text;
    }
    haveHost_ = true;
    hostTrace_ = e.time;
    hostNow_ = now;
    ++nextHost_;
    SkipToNext(nextHost_, true);
}

size_t TraceReplay::HostBytesInTrace() const
{
    return static_cast<size_t>(
        std::count_if(events_.begin(), events_.end(), [](const TraceEvent &e) { return e.fromHost; }));
}

SimTime TraceReplay::NextDue() const
{
    if (nextBoard_ >= events_.size()) return -1;
    // Every host byte before it must have come.
    if (nextHost_ < nextBoard_) return -1;
    const TraceEvent &e = events_[nextBoard_];
    SimTime due = 0;
    if (haveHost_) due = std::max(due, hostNow_ + std::max<SimTime>(e.time - hostTrace_, 0));
    if (haveBoard_) due = std::max(due, boardNow_ + std::max<SimTime>(e.time - boardTrace_, 0));
    if (!haveHost_ && !haveBoard_) due = e.time;
    return due;
}

void TraceReplay::TakeDue(SimTime now, std::vector<uint8_t> &out)
{
    for (SimTime due = NextDue(); due >= 0 && due <= now; due = NextDue()) {
        const TraceEvent &e = events_[nextBoard_];
        out.push_back(e.value);
        haveBoard_ = true;
        boardTrace_ = e.time;
        boardNow_ = due;
        ++nextBoard_;
        SkipToNext(nextBoard_, false);
    }
}
