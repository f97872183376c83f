#include "link/WireTrace.h"

#include <cerrno>

#include "support/FileErrorText.h"
#include "support/version.h"

std::shared_ptr<WireTrace> WireTrace::Create(const std::string &path, const std::string &header,
                                             std::string &error)
{
    FILE *file = std::fopen(path.c_str(), "we");
    if (!file) {
        error = path + ": " + FileErrorReason(errno);
        return nullptr;
    }
    // A header is one line whatever the command line held.
    std::string line = header;
    for (char &c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(file, "# %s\n", line.c_str());
    std::fflush(file);
    return std::shared_ptr<WireTrace>(new WireTrace(file, std::chrono::steady_clock::now()));
}

WireTrace::WireTrace(FILE *file, std::chrono::steady_clock::time_point origin) : file_(file), origin_(origin) {}

WireTrace::~WireTrace()
{
    std::fclose(file_);
}

double WireTrace::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void WireTrace::Bytes(char direction, const uint8_t *data, size_t n)
{
    if (n == 0) return;
    std::lock_guard lock(mutex_);
    const double t = Seconds();
    for (size_t i = 0; i < n; ++i)
        std::fprintf(file_, "%.6f %c %02X\n", t, direction, data[i]);
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
    std::fprintf(file_, "%.6f open %s\n", Seconds(), name.c_str());
}

void WireTrace::Closed()
{
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%.6f close\n", Seconds());
    std::fflush(file_);
}

void WireTrace::Flush()
{
    std::lock_guard lock(mutex_);
    std::fflush(file_);
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
