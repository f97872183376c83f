// tarnbox-sim: a simulated Tarnbox on a pseudo-terminal, so Tarnvik can be
// tried and tested without a board. Prints the terminal's path as its first
// line on stdout and serves it until SIGTERM or SIGINT; with --detach it
// returns once the terminal and its link exist and serves it in the
// background, so a script's next command finds the link in place.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimChip.h"
#include "SimCommandLine.h"
#include "SimFirmware.h"
#include "SimLine.h"
#include "SimReplay.h"
#include "SimShaping.h"
#include "link/WireTrace.h"
#include "support/StandardStreams.h"
#include "support/textutil.h"
#include "support/version.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnSignal(int)
{
    stopRequested = 1;
}

// Bad usage, and anything that keeps the board from being served.
[[noreturn]] void Fail(const std::string &message)
{
    std::fprintf(stderr, "tarnbox-sim: %s\n", message.c_str());
    std::exit(2);
}

// The serving process's id as one line; false when it cannot be written.
bool WritePidFile(const std::string &path, pid_t pid)
{
    FILE *f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool written = std::fprintf(f, "%ld\n", static_cast<long>(pid)) > 0;
    return std::fclose(f) == 0 && written;
}

// The background process leaves the caller's terminal and pipes: a caller
// that reads the path from a pipe sees its end when the foreground part
// returns. Error texts still reach a terminal; keepErrors keeps standard
// error wherever it leads, for a report that has nowhere else to go.
void LeaveCallersStreams(bool keepErrors)
{
    setsid();
    const int null = open("/dev/null", O_RDWR);
    if (null < 0) return;
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    if (!keepErrors && !isatty(STDERR_FILENO)) dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) close(null);
}

// What the board is made of, the chip in its socket or a trace played back
// instead, and the files the run writes as it goes.
struct Board {
    std::unique_ptr<SimChip> chip;
    std::unique_ptr<TraceReplay> replay;
    FILE *report = nullptr;
    std::shared_ptr<WireTrace> trace;
};

std::unique_ptr<SimChip> MakeChip(const SimCommandLine &options)
{
    std::string error;
    auto chip = MakeSimChip(options.chip, error);
    if (!chip) Fail(error);
    if (!options.hexFile.empty() && !LoadHexIntoChip(*chip, options.hexFile, error)) Fail(error);
    if (!options.calibration.empty()) chip->SetCalibration(options.calibration);
    chip->ModelProtection(options.modelProtection);
    return chip;
}

std::unique_ptr<TraceReplay> LoadReplay(const std::string &path)
{
    std::vector<TraceEvent> events;
    std::string error;
    long cut = 0;
    if (!ReadTraceForReplay(path, events, error, cut)) Fail(error);
    if (cut != 0)
        std::fprintf(stderr,
                     "tarnbox-sim: replay: %s:%ld: the trace was cut in this line; "
                     "it is played up to the line before\n",
                     path.c_str(), cut);
    return std::make_unique<TraceReplay>(std::move(events));
}

Board SetUpBoard(const SimCommandLine &options)
{
    Board board;
    board.chip = MakeChip(options);
    if (!options.replayFile.empty()) board.replay = LoadReplay(options.replayFile);
    // Made now, so that a report from an earlier run is never taken for this one's.
    if (!options.reportFile.empty() && !(board.report = std::fopen(options.reportFile.c_str(), "w")))
        Fail("cannot write " + options.reportFile + ": " + std::strerror(errno));
    // The trace keeps the rules of the host's own: never a file of this run,
    // never through a link, never a FIFO to block on.
    std::string error;
    if (!options.traceFile.empty() &&
        !(board.trace = WireTrace::Create(options.traceFile, "",
                                          {options.hexFile, options.dumpFile, options.pidFile,
                                           options.replayFile, options.reportFile, options.link},
                                          error)))
        Fail("cannot write " + error);
    return board;
}

struct Terminal {
    int master = -1; // the board's side; -1 once the board has hung up
    int slave = -1;
    std::string path;
};

Terminal OpenTerminal()
{
    Terminal terminal;
    terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal.master < 0 || grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0)
        Fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    const char *slaveName = ptsname(terminal.master);
    if (!slaveName) Fail("cannot name the pseudo-terminal");
    terminal.path = slaveName;
    // Keep a descriptor on the terminal's own side: the host may open and
    // close it many times, and the terminal stays up in between. Raw mode so
    // that nothing translates bytes before the host applies its own settings.
    terminal.slave = open(terminal.path.c_str(), O_RDWR | O_NOCTTY);
    if (terminal.slave < 0) Fail("cannot open " + terminal.path + ": " + std::strerror(errno));
    termios tio{};
    tcgetattr(terminal.slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    tcsetattr(terminal.slave, TCSANOW, &tio);
    fcntl(terminal.master, F_SETFL, fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    return terminal;
}

void PlaceLink(const std::string &link, const std::string &target)
{
    unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0) Fail("cannot link " + link + ": " + std::strerror(errno));
}

void CatchSignals()
{
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // A file-size limit ends a trace write with EFBIG, which is reported.
    signal(SIGXFSZ, SIG_IGN);
}

// Tells the caller the terminal's path, and writes the process-id file, once
// the board can be reached. Detached, the caller's process returns here and
// a child serves the board; keepErrors as for LeaveCallersStreams.
void GoLive(const SimCommandLine &options, const Terminal &terminal, bool keepErrors)
{
    std::fflush(nullptr);
    if (!options.detach) {
        if (!options.pidFile.empty() && !WritePidFile(options.pidFile, getpid()))
            Fail("cannot write " + options.pidFile + ": " + std::strerror(errno));
        std::printf("%s\n", terminal.path.c_str());
        std::fflush(stdout);
        return;
    }
    const pid_t child = fork();
    if (child < 0) Fail(std::string("cannot start the background process: ") + std::strerror(errno));
    if (child > 0) {
        // The terminal and the link are in place; the board is served by
        // the child from here on.
        if (!options.pidFile.empty() && !WritePidFile(options.pidFile, child)) {
            const int error = errno;
            kill(child, SIGTERM);
            Fail("cannot write " + options.pidFile + ": " + std::strerror(error));
        }
        std::printf("%s\n", terminal.path.c_str());
        std::fflush(stdout);
        _exit(0);
    }
    LeaveCallersStreams(keepErrors);
}

FirmwareOptions ServedFirmware(FirmwareOptions options)
{
    options.piecewiseStreams = true;
    return options;
}

// Serves the board on the terminal until a stop signal: the host's bytes go
// to the firmware, or to the replay, and the replies leave when due.
class BoardServer {
public:
    BoardServer(const SimCommandLine &options, Board &board, Terminal &terminal);
    void Run();

private:
    SimTime Now() const;
    void Trace(char direction, uint8_t value);
    // One reply byte onto the writes: newWrite starts a write of its own.
    void Queue(uint8_t value, bool newWrite);
    bool StreamWanted() const;
    void TakeDueReplies(SimTime t);
    void WriteUnsent();
    void HangUpWhenGone();
    void WaitAndReceive();
    void ReplayByte(uint8_t value, SimTime arrived);
    void FirmwareByte(uint8_t value, SimTime arrived);

    // Unpaced, shaped replies cross a fast line instead of 38400 baud, so a
    // long read stays quick while its packets still come one after another.
    static constexpr SimTime UnpacedByteTime = 10'000;
    // How much of a stream is made at a time.
    static constexpr size_t StreamPiece = 256;

    Terminal &terminal_;
    TarnboxFirmware firmware_;
    TraceReplay *replay_;
    FILE *report_;
    WireTrace *trace_;
    const SimLine line_;
    const bool pace_;
    const bool chunked_;
    std::optional<ReplyShaper> shaper_;
    // Replies leave when due: on the line model's time when paced, on the
    // shaping's when shaped, otherwise at once.
    bool timed_;
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
    SimTime lastArrival_ = 0;
    SimTime lineFree_ = 0;
    // How late a paced wake-up comes back on this machine, as a running
    // average: the simulator wakes that much ahead of each reply, so that
    // replies leave on the line model's time on average instead of always a
    // scheduler wake-up late (about 100 µs on a virtual machine, a fifth of
    // an echo), which no host could make up.
    SimTime oversleep_ = 0;
    // What is due and not yet written, one write() for each: one run of bytes
    // as they come, or with --chunk each packet (whose bytes share a time) on
    // its own.
    std::deque<std::vector<uint8_t>> unsent_;
    SimTime packetTime_ = -1;
    std::vector<uint8_t> replayed_;
};

BoardServer::BoardServer(const SimCommandLine &options, Board &board, Terminal &terminal)
    : terminal_(terminal), firmware_(*board.chip, ServedFirmware(options.firmware)),
      replay_(board.replay.get()), report_(board.report), trace_(board.trace.get()), line_(options.line),
      pace_(options.pace), chunked_(options.shaping.chunkMax > 0)
{
    if (options.shaping.Any()) shaper_.emplace(options.shaping, pace_ ? SimByteTime : UnpacedByteTime);
    timed_ = pace_ || shaper_.has_value();
    // The kernel's default timer slack (50 µs) would be added to every paced
    // reply, a fifth of a byte time.
    if (timed_ || replay_) prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
}

SimTime BoardServer::Now() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - origin_)
        .count();
}

void BoardServer::Trace(char direction, uint8_t value)
{
    if (!trace_) return;
    if (direction == '>')
        trace_->Sent(&value, 1);
    else
        trace_->Received(&value, 1);
}

void BoardServer::Queue(uint8_t value, bool newWrite)
{
    if (unsent_.empty() || newWrite) unsent_.emplace_back();
    unsent_.back().push_back(value);
}

bool BoardServer::StreamWanted() const
{
    return firmware_.Streaming() && firmware_.Output().size() < StreamPiece && (timed_ || unsent_.empty());
}

void BoardServer::Run()
{
    while (!stopRequested) {
        TakeDueReplies(Now());
        WriteUnsent();
        HangUpWhenGone();
        WaitAndReceive();
    }
}

void BoardServer::TakeDueReplies(SimTime t)
{
    if (replay_) {
        replayed_.clear();
        replay_->TakeDue(t, replayed_);
        for (uint8_t b : replayed_)
            Queue(b, false);
        return;
    }
    auto &out = firmware_.Output();
    // A stream leaves as it is made, a piece at a time: its first byte
    // goes out at once, however long the simulator takes to make all of
    // it (a sanitizer build on a busy machine needs longer for a 32 KB
    // table read than the host waits for its first byte).
    while (StreamWanted()) {
        const size_t before = out.size();
        firmware_.ContinueStream(StreamPiece);
        if (shaper_) shaper_->Shape(out, before, false, pace_ ? std::nullopt : std::optional<SimTime>(t));
    }
    while (!out.empty() && (!timed_ || line_.ToHost(out.front().time) <= t + oversleep_)) {
        Queue(out.front().value, chunked_ && out.front().time != packetTime_);
        packetTime_ = out.front().time;
        out.pop_front();
    }
}

void BoardServer::WriteUnsent()
{
    while (terminal_.master >= 0 && !unsent_.empty()) {
        std::vector<uint8_t> &next = unsent_.front();
        const ssize_t n = write(terminal_.master, next.data(), next.size());
        if (n <= 0) break;
        for (ssize_t k = 0; k < n; ++k)
            Trace('<', next[k]);
        if (static_cast<size_t>(n) < next.size()) {
            next.erase(next.begin(), next.begin() + n);
            break;
        }
        unsent_.pop_front();
    }
}

void BoardServer::HangUpWhenGone()
{
    if (terminal_.master < 0 || !firmware_.HungUp() || !unsent_.empty() || !firmware_.Output().empty())
        return;
    // The board is gone: the host's next read ends at once.
    close(terminal_.master);
    close(terminal_.slave);
    terminal_.master = terminal_.slave = -1;
}

void BoardServer::WaitAndReceive()
{
    // Paced replies are due at byte-time resolution (about 260 µs): a
    // millisecond poll would add up to a millisecond to every echo.
    const auto &out = firmware_.Output();
    SimTime wait = 50'000'000;
    const bool pacedWait = timed_ && !out.empty();
    if (pacedWait) wait = std::clamp<SimTime>(line_.ToHost(out.front().time) - oversleep_ - Now(), 0, wait);
    if (replay_ && replay_->NextDue() >= 0) wait = std::clamp<SimTime>(replay_->NextDue() - Now(), 0, wait);
    if (StreamWanted()) wait = 0;
    const timespec timeout{static_cast<time_t>(wait / 1'000'000'000),
                           static_cast<long>(wait % 1'000'000'000)};
    const int fd = terminal_.master;
    if (fd < 0) {
        ppoll(nullptr, 0, &timeout, nullptr);
        return;
    }
    pollfd p{fd, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
    const SimTime asleep = Now();
    const int ready = ppoll(&p, 1, &timeout, nullptr);
    if (ready == 0 && pacedWait && wait > 0) {
        const SimTime late = std::clamp<SimTime>(Now() - asleep - wait, 0, 200'000);
        oversleep_ += (late - oversleep_) / 16;
    }
    if (ready <= 0 || !(p.revents & POLLIN)) return;
    uint8_t buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    const SimTime arrived = Now();
    for (ssize_t k = 0; k < n; ++k) {
        Trace('>', buffer[k]);
        if (replay_)
            ReplayByte(buffer[k], arrived);
        else
            FirmwareByte(buffer[k], arrived);
    }
}

void BoardServer::ReplayByte(uint8_t value, SimTime arrived)
{
    const bool wasOn = replay_->Divergence().empty();
    replay_->Receive(value, arrived);
    if (!wasOn || replay_->Divergence().empty()) return;
    // Out at once: the run is often ended by a signal next.
    if (report_) {
        std::fprintf(report_, "%s\n", replay_->Divergence().c_str());
        std::fflush(report_);
    } else {
        std::fprintf(stderr, "tarnbox-sim: replay: %s\n", replay_->Divergence().c_str());
    }
}

void BoardServer::FirmwareByte(uint8_t value, SimTime arrived)
{
    // A run written at once still arrives a byte time apart on a real line.
    if (line_.kind != LineKind::Pty)
        lastArrival_ = line_.ToBoard(arrived, lineFree_);
    else
        lastArrival_ = pace_ ? std::max(arrived, lastArrival_ + SimByteTime) : arrived;
    auto &out = firmware_.Output();
    const size_t before = out.size();
    firmware_.Receive(value, lastArrival_);
    if (shaper_)
        shaper_->Shape(out, before, firmware_.InVersionQuery(),
                       pace_ ? std::nullopt : std::optional<SimTime>(arrived));
}

// Ends the run once serving has stopped, in the order scripts wait on; the
// exit status.
int FinishRun(const SimCommandLine &options, Board &board, Terminal &terminal)
{
    if (terminal.master >= 0) {
        close(terminal.master);
        close(terminal.slave);
    }
    // The report is complete before the process-id file goes, which a
    // script may wait for.
    bool reported = true;
    if (board.report) {
        if (board.replay->Divergence().empty())
            std::fprintf(board.report,
                         "the host sent %zu of the trace's %zu host bytes, each as in the trace\n",
                         board.replay->HostBytesReceived(), board.replay->HostBytesInTrace());
        reported = std::fclose(board.report) == 0;
    }
    // So is the trace; one a write failed for ends where it was cut, and
    // the run says so.
    const int traceFailed = board.trace ? board.trace->Finish() : 0;
    if (traceFailed != 0)
        std::fprintf(stderr, "tarnbox-sim: the trace %s was cut: %s\n", options.traceFile.c_str(),
                     ErrorText(traceFailed).c_str());
    if (!options.link.empty()) unlink(options.link.c_str());
    if (!options.pidFile.empty()) unlink(options.pidFile.c_str());
    if (!reported) {
        std::fprintf(stderr, "tarnbox-sim: cannot write %s\n", options.reportFile.c_str());
        return 1;
    }
    std::string error;
    if (!options.dumpFile.empty() && !SaveChipAsHex(*board.chip, options.dumpFile, error)) {
        std::fprintf(stderr, "tarnbox-sim: %s\n", error.c_str());
        return 1;
    }
    return traceFailed != 0 ? 1 : 0;
}

int RunSimulator(int argc, char **argv)
{
    SimCommandLine options;
    std::string error;
    if (!ParseSimCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), options, error))
        Fail(error);
    if (options.request == SimRequest::Help) {
        std::fputs(SimUsageText().c_str(), stdout);
        return 0;
    }
    if (options.request == SimRequest::Version) {
        std::printf("%s\n", VersionLine("tarnbox-sim").c_str());
        return 0;
    }
    Board board = SetUpBoard(options);
    Terminal terminal = OpenTerminal();
    if (!options.link.empty()) PlaceLink(options.link, terminal.path);
    CatchSignals();
    GoLive(options, terminal, board.replay && !board.report);
    BoardServer(options, board, terminal).Run();
    return FinishRun(options, board, terminal);
}

} // namespace

int main(int argc, char **argv)
{
    // The pseudo-terminal must never become the program's stdout.
    OpenClosedStandardStreams();
    // What escapes is reported, with the status of a failure inside the
    // program itself (sysexits' EX_SOFTWARE), instead of an abort.
    try {
        return RunSimulator(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnbox-sim: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarnbox-sim: internal error\n");
    }
    return 70;
}
