// The terminal of a production run: stdout and the progress line on stderr,
// shared by the ports' threads; each port's lines go out with its prefix and
// its bar is drawn into the shared progress line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "TerminalFrontEnd.h"

// Every output line is written whole, with its port's prefix, and the
// progress line is cleared before and drawn again after it.
class Console {
public:
    Console(std::vector<std::string> labels, bool progress);
    void Line(const std::string &text);
    void Progress(size_t port, int position, int span);
    void EndProgress();

private:
    // One bar per port on one line: "COM3 [#####.....]  50%  COM4 [...".
    void DrawBars();
    void ClearBars();

    std::mutex mutex_;
    std::vector<std::string> labels_;
    std::vector<int> bars_;
    bool progress_;
    bool drawn_ = false;
};

// A port's progress bar, drawn into the shared progress line.
class PortBar : public ProgressBar {
public:
    PortBar(Console &console, size_t port) : console_(console), port_(port) {}
    void SetRange(int minimum, int maximum) override;
    void StepIt() override;
    void SetPosition(int position) override;

private:
    Console &console_;
    size_t port_;
    int minimum_ = 0, maximum_ = 100, position_ = 0;
};

// A stdio stream that hands each complete line to the console with the
// port's prefix, so the terminal front end prints as it always does.
class PrefixStream {
public:
    PrefixStream(Console &console, std::string prefix);
    ~PrefixStream();
    PrefixStream(const PrefixStream &) = delete;
    PrefixStream &operator=(const PrefixStream &) = delete;
    FILE *File() const { return file_ ? file_ : stdout; }

private:
    static ssize_t Write(void *cookie, const char *data, size_t n);

    Console &console_;
    std::string prefix_;
    std::string partial_;
    FILE *file_ = nullptr;
};

// The terminal front end of one port: its lines prefixed and its bar in the
// shared progress line.
class PortFrontEnd : public TerminalFrontEnd {
public:
    PortFrontEnd(const CliOptions &options, FILE *out, Console &console, size_t port)
        : TerminalFrontEnd(options, out, stderr, false), bar_(console, port)
    {
    }
    ProgressBar &MainProgress() override { return bar_; }

private:
    PortBar bar_;
};
