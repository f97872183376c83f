#include "TerminalFrontEnd.h"

#include "DeviceSpec.h"

namespace {
constexpr int BarCells = 40;
}

void TerminalProgress::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = minimum;
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

void TerminalProgress::Draw()
{
    if (!enabled_) return;
    const int span = maximum_ - minimum_;
    int cells =
        span > 0 ? static_cast<int>(static_cast<long long>(position_ - minimum_) * BarCells / span) : 0;
    cells = cells < 0 ? 0 : (cells > BarCells ? BarCells : cells);
    // Redrawing for every unit would flood a slow terminal; only a change
    // of the filled width is drawn.
    if (cells == drawnWidth_) return;
    drawnWidth_ = cells;
    std::fprintf(out_, "\r[%s%s] %d/%d", std::string(static_cast<size_t>(cells), '#').c_str(),
                 std::string(static_cast<size_t>(BarCells - cells), '.').c_str(), position_ - minimum_, span);
    std::fflush(out_);
}

void TerminalProgress::Clear()
{
    if (!enabled_ || drawnWidth_ < 0) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    drawnWidth_ = -1;
}

TerminalFrontEnd::TerminalFrontEnd(const CliOptions &options, FILE *out, FILE *progressOut,
                                   bool progressIsTerminal)
    : options_(options), out_(out), logOut_(options.json ? progressOut : out),
      bar_(progressOut, progressIsTerminal && options.verbosity != Verbosity::Quiet),
      calibChange_(!options.cal1.empty() || !options.cal2.empty())
{
}

void TerminalFrontEnd::Line(const std::string &line, FILE *to)
{
    bar_.Clear();
    std::fputs(line.c_str(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

void TerminalFrontEnd::SetStatus(const std::string &text)
{
    status_ = text;
    statusShown_ = false;
    if (options_.verbosity == Verbosity::Verbose && !text.empty()) {
        Line(text);
        statusShown_ = true;
    }
}

void TerminalFrontEnd::AddLog(const std::string &line)
{
    if (options_.verbosity != Verbosity::Quiet) Line(line);
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
    Line(line, out_);
}

void TerminalFrontEnd::Detail(const std::string &line)
{
    if (options_.verbosity == Verbosity::Verbose) Line(line);
}

void TerminalFrontEnd::FinishStatus()
{
    bar_.Clear();
    if (!status_.empty() && !statusShown_) Line(status_);
    statusShown_ = true;
}

void TerminalFrontEnd::DropStatus()
{
    bar_.Clear();
    statusShown_ = true;
}

namespace {

// A word as a shell takes it back: as it is when it holds nothing the shell
// would read otherwise, else in single quotes.
std::string ShellQuoted(const std::string &text)
{
    const bool plain =
        !text.empty() && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                "0123456789_./:=+-,@%") == std::string::npos;
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

bool TerminalFrontEnd::ConfirmErasedCalibration(const std::string &)
{
    if (options_.keepErasedCalibration) return true;
    AddLogShowingMessages(
        "消去するには --cal1/--cal2 で値を与えるか、--keep-erased-calibration を付けてください。");
    return false;
}

std::string TerminalFrontEnd::CalibrationRestoreHint(const std::string &cal1, const std::string &cal2) const
{
    std::string line = "tarnvik-cli";
    if (!options_.settings.empty()) line += " --settings " + ShellQuoted(options_.settings);
    if (!options_.port.empty()) line += " -p " + ShellQuoted(options_.port);
    if (!pic18_ && selected_ >= 0)
        line += std::string(" -d ") + DeviceTable[static_cast<size_t>(selected_)].Name;
    line += " erase --cal1 " + cal1;
    if (!cal2.empty()) line += " --cal2 " + cal2;
    return "書き戻すには: " + line;
}
