#include "TerminalFrontEnd.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "catalogue/DeviceSpec.h"
#include "StopSignals.h"
#include "support/textutil.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"
#include "texts/terminal_texts.h"

void TerminalProgress::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = minimum;
    start_ = std::chrono::steady_clock::now();
    Draw();
}

void TerminalProgress::StepIt()
{
    if (position_ < maximum_) ++position_;
    Draw();
}

void TerminalProgress::SetPosition(int position)
{
    position_ = position;
    // An operation returns the bar to 0 after each region: the line is
    // erased then rather than left showing an empty bar.
    if (position_ <= minimum_)
        Clear();
    else
        Draw();
}

int TerminalProgress::Columns() const
{
    if (columns_ > 0) return columns_;
    struct winsize size {};
    if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void TerminalProgress::SetPhase(Phase phase)
{
    switch (phase) {
    case Phase::Erase:
        phase_ = texts::ErasePhase();
        break;
    case Phase::BlankCheck:
        phase_ = texts::BlankCheckPhase();
        break;
    case Phase::Program:
        phase_ = texts::ProgramPhase();
        break;
    case Phase::Verify:
        phase_ = texts::VerifyPhase();
        break;
    case Phase::Read:
        phase_ = texts::ReadPhase();
        break;
    }
}

std::string TerminalProgress::Text(const std::string &phase, int percent, int secondsLeft, int columns)
{
    // The last column stays free: a line that fills it wraps on some terminals.
    const int room = columns - 1;
    char number[32];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    const std::string percentText = number;
    std::string left = phase.empty() ? percentText : phase + " " + percentText;
    std::string right;
    if (secondsLeft >= 0) {
        right = texts::TimeLeft(secondsLeft);
    }
    // What does not fit goes first: the bar shrinks, then the time left,
    // then the phase; the percent stays.
    int barCells = room - DisplayWidth(left) - 3 - (right.empty() ? 0 : DisplayWidth(right) + 1);
    if (barCells < 5 && !right.empty()) {
        right.clear();
        barCells = room - DisplayWidth(left) - 3;
    }
    if (barCells < 5) {
        barCells = 0;
        if (DisplayWidth(left) > room) left = percentText;
    }
    barCells = barCells > 50 ? 50 : barCells;
    std::string line = left;
    if (barCells > 0) {
        const int filled = percent * barCells / 100;
        line += " [" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(barCells - filled), '.') + "]";
    }
    if (!right.empty()) line += " " + right;
    return FitToWidth(line, room);
}

void TerminalProgress::Draw()
{
    if (!enabled_) return;
    const int span = maximum_ - minimum_;
    const int done = position_ - minimum_;
    int percent = span > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / span) : 0;
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    // The time left from the pace so far, once there is a pace to go by.
    int secondsLeft = -1;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (done > 0 && elapsed >= 1.0) secondsLeft = static_cast<int>(elapsed * (span - done) / done + 0.5);
    // Only a changed line is drawn: redrawing for every unit would flood a
    // slow terminal.
    const std::string line = Text(phase_, percent, secondsLeft, Columns());
    if (line == drawn_) return;
    std::fprintf(out_, "\r%s\033[K", line.c_str());
    FlushOutput(out_);
    drawn_ = line;
}

void TerminalProgress::Clear()
{
    if (!enabled_ || drawn_.empty()) return;
    std::fputs("\r\033[K", out_);
    FlushOutput(out_);
    drawn_.clear();
}

TerminalFrontEnd::TerminalFrontEnd(const CliOptions &options, FILE *out, FILE *progressOut,
                                   bool progressIsTerminal)
    : options_(options), out_(out),
      logOut_(options.json || (options.command == CliCommand::Read && options.file == "-") ? progressOut
                                                                                           : out),
      bar_(progressOut, progressIsTerminal && options.verbosity != Verbosity::Quiet)
{
}

void TerminalFrontEnd::Line(const std::string &line, FILE *to)
{
    if (options_.json) messages_.push_back(line);
    ++lines_;
    bar_.Clear();
    std::fputs(line.c_str(), to);
    std::fputc('\n', to);
    FlushOutput(to);
}

void TerminalFrontEnd::SetStatus(const std::string &text)
{
    status_ = text;
    statusShown_ = false;
    statusLine_ = 0;
    if (options_.verbosity != Verbosity::Verbose || text.empty()) return;
    statusShown_ = true;
    if (!TrimBlanks(text).empty()) Line(text);
}

void TerminalFrontEnd::StatusRepeatsLog(const std::string &text)
{
    status_ = text;
    // The log line printed last is this status, unless quiet left it out.
    const bool printed = loggedLine_ != 0 && loggedLine_ == lines_;
    statusLine_ = printed ? lines_ : 0;
    statusShown_ = printed && options_.verbosity == Verbosity::Verbose;
}

void TerminalFrontEnd::SetStatusAfter(const std::string &done, const std::string &next, bool doneSaid)
{
    // The window's status bar joins the two with a full-width blank.
    const std::string joined = texts::DoneThenNext(done, next);
    status_ = joined;
    statusShown_ = false;
    statusLine_ = 0;
    if (options_.verbosity != Verbosity::Verbose) return;
    statusShown_ = true;
    // Only the parts not shown yet: a load said before is not said again.
    const bool freshDone = !TrimBlanks(done).empty() && !doneSaid;
    const bool freshNext = !TrimBlanks(next).empty();
    if (freshDone && freshNext)
        Line(joined);
    else if (freshDone || freshNext)
        Line(freshDone ? done : next);
}

std::string TerminalFrontEnd::PortLabel(const std::string &name) const
{
    return !portName_.empty() && name == portName_ ? portPath_ : name;
}

void TerminalFrontEnd::AddLog(const std::string &line)
{
    if (options_.verbosity == Verbosity::Quiet) return;
    Line(line);
    loggedLine_ = lines_;
}

// A command-line user picks the port with -p, not on the window's Option tab.
std::string TerminalFrontEnd::OpenPortAdvice() const
{
    return texts::OpenPortAdviceForTerminal();
}

void TerminalFrontEnd::AddLogShowingMessages(const std::string &line)
{
    AddLog(line);
}

void TerminalFrontEnd::ShowMessage(const std::string &text)
{
    // The window's message box: shown even when quiet, since it stops the
    // window's user too.
    Line(text);
}

void TerminalFrontEnd::Print(const std::string &line)
{
    // With --json stdout holds the result object alone.
    Line(line, options_.json ? logOut_ : out_);
}

void TerminalFrontEnd::Error(const std::string &text)
{
    if (options_.json) messages_.push_back(text);
    bar_.Clear();
    std::fprintf(stderr, "tarnvik-cli: %s\n", text.c_str());
    FlushOutput(stderr);
}

void TerminalFrontEnd::Interrupted(const std::string &text)
{
    if (options_.json) messages_.push_back(text);
    bar_.Clear();
    std::fprintf(stderr, "%s\n", text.c_str());
    FlushOutput(stderr);
}

void TerminalFrontEnd::Emit(const JsonObject &result)
{
    const std::string line = JsonText(result) + "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    FlushOutput(out_);
}

void TerminalFrontEnd::Detail(const std::string &line)
{
    if (options_.verbosity == Verbosity::Verbose) Line(line);
}

void TerminalFrontEnd::FinishStatus()
{
    bar_.Clear();
    // A status that only repeats the line before it is not shown twice.
    if (!status_.empty() && !statusShown_ && !(statusLine_ != 0 && statusLine_ == lines_)) Line(status_);
    statusShown_ = true;
}

void TerminalFrontEnd::DropStatus()
{
    bar_.Clear();
    statusShown_ = true;
}

bool TerminalFrontEnd::ConfirmErasedCalibration(const std::string &)
{
    if (options_.keepErasedCalibration) return true;
    AddLogShowingMessages(texts::ErasedCalibrationNeedsValues());
    return false;
}

std::string TerminalFrontEnd::CalibrationRestoreHint(const std::string &device, const std::string &cal1,
                                                     const std::string &cal2) const
{
    std::string line = "tarnvik-cli";
    if (!options_.settings.empty()) line += " --settings " + Quoted(options_.settings);
    if (!options_.port.empty()) line += " -p " + Quoted(options_.port);
    if (!device.empty()) line += " -d " + device;
    line += " erase --cal1 " + cal1;
    if (!cal2.empty()) line += " --cal2 " + cal2;
    return texts::RestoreWith(line);
}

std::string TerminalFrontEnd::KeptRestoreHint(const std::string &port, const std::string &device,
                                              const std::string &only, const std::string &path) const
{
    std::string line = "tarnvik-cli";
    if (!options_.settings.empty()) line += " --settings " + Quoted(options_.settings);
    line += " -p " + Quoted(options_.port.empty() ? port : options_.port);
    return texts::RestoreWith(line + " -d " + device + " program --only " + only + " " + Quoted(path));
}

void TerminalFrontEnd::CalibrationLogRefused(const std::string &text)
{
    calibrationLogRefused_ = true;
    Error(text);
}
