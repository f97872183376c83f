#include "link/WireTrace.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "support/version.h"
#include "texts/link_texts.h"

namespace {

// Lines are written out in pieces of about this size, and at each close and
// silent read.
constexpr size_t TracePiece = 64 * 1024;

std::string TraceFileReason(int error, const std::string &clash)
{
    if (error == SameFileInUseError) return texts::TraceSameFile(clash);
    if (error == ELOOP) return texts::TraceNoSymlink();
    return FileErrorReason(error);
}

} // namespace

std::shared_ptr<WireTrace> WireTrace::Create(const std::string &path, const std::string &header,
                                             const std::vector<std::string> &inUse, std::string &error)
{
    int failed = 0;
    std::string clash;
    const int fd = OpenRecordFile(path, inUse, 0600, failed, clash);
    if (fd < 0) {
        error = path + ": " + TraceFileReason(failed, clash);
        return nullptr;
    }
    std::shared_ptr<WireTrace> trace(new WireTrace(fd, path, std::chrono::steady_clock::now()));
    if (!header.empty()) {
        // A header is one line whatever the command line held.
        std::string line = "# " + header;
        for (char &c : line)
            if (c == '\n' || c == '\r') c = ' ';
        line += '\n';
        // A file that takes not even its header is refused before any port
        // is opened.
        if (const int written = WriteWhole(fd, line); written != 0) {
            error = path + ": " + FileErrorReason(written);
            return nullptr;
        }
    }
    return trace;
}

WireTrace::WireTrace(int fd, std::string path, std::chrono::steady_clock::time_point origin)
    : fd_(fd), path_(std::move(path)), origin_(origin)
{
}

WireTrace::~WireTrace()
{
    WriteOut();
    ::close(fd_);
}

double WireTrace::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void WireTrace::Add(const char *line, int length)
{
    if (error_ != 0 || length <= 0) return;
    pending_.append(line, static_cast<size_t>(length));
    if (pending_.size() >= TracePiece) WriteOut();
}

void WireTrace::WriteOut()
{
    if (error_ == 0 && !pending_.empty()) error_ = WriteWhole(fd_, pending_);
    pending_.clear();
}

void WireTrace::Bytes(char direction, const uint8_t *data, size_t n)
{
    if (n == 0) return;
    std::lock_guard lock(mutex_);
    const double t = Seconds();
    char line[48];
    for (size_t i = 0; i < n; ++i)
        Add(line, std::snprintf(line, sizeof line, "%.6f %c %02X\n", t, direction, data[i]));
}

void WireTrace::Sent(const uint8_t *data, size_t n)
{
    Bytes('>', data, n);
}

void WireTrace::Received(const uint8_t *data, size_t n)
{
    Bytes('<', data, n);
}

void WireTrace::Opened(const std::string &name)
{
    std::lock_guard lock(mutex_);
    char time[32];
    const int length = std::snprintf(time, sizeof time, "%.6f open ", Seconds());
    Add(time, length);
    const std::string rest = name + "\n";
    Add(rest.data(), static_cast<int>(rest.size()));
}

void WireTrace::LinesSet(bool rts, bool dtr, int waitMs)
{
    std::lock_guard lock(mutex_);
    char line[80];
    Add(line, std::snprintf(line, sizeof line, "%.6f lines rts=%d dtr=%d wait=%d\n", Seconds(), rts ? 1 : 0,
                            dtr ? 1 : 0, waitMs));
}

void WireTrace::Closed()
{
    std::lock_guard lock(mutex_);
    char line[32];
    Add(line, std::snprintf(line, sizeof line, "%.6f close\n", Seconds()));
    WriteOut();
}

void WireTrace::Flush()
{
    std::lock_guard lock(mutex_);
    WriteOut();
}

int WireTrace::Finish()
{
    std::lock_guard lock(mutex_);
    WriteOut();
    return error_;
}

std::string TraceIncompleteText(const std::string &path, int error)
{
    return texts::TraceIncomplete(path, FileErrorReason(error));
}

std::string TraceHeader(const std::string &program, const std::string &device, const std::string &port,
                        const std::string &command)
{
    return VersionLine(program) + "; device " + (device.empty() ? "-" : device) + "; port " +
           (port.empty() ? "-" : port) + "; command: " + command;
}

std::string TraceCommandText(const std::vector<std::string> &args)
{
    std::string text;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--trace") {
            ++i;
            continue;
        }
        if (arg.rfind("--trace=", 0) == 0) continue;
        std::string shown = arg;
        if (shown.rfind("/dev/", 0) != 0) {
            // --option=path as well as a bare path.
            const size_t eq = shown.rfind("--", 0) == 0 ? shown.find('=') : std::string::npos;
            const size_t from = eq == std::string::npos ? 0 : eq + 1;
            const size_t slash = shown.rfind('/');
            if (slash != std::string::npos && slash >= from) shown.erase(from, slash + 1 - from);
        }
        text += (text.empty() ? "" : " ") + shown;
    }
    return text;
}
