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
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimChip.h"
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

const char *Usage = "Usage: tarnbox-sim [OPTIONS]\n"
                    "Serves a simulated Tarnbox PIC programmer on a pseudo-terminal. The first line\n"
                    "on stdout is the terminal's path; it is served until SIGTERM or SIGINT.\n"
                    "\n"
                    "  --chip NAME          chip in the socket: a catalogue name, case ignored\n"
                    "                       (default PIC16F877A); none = an empty socket\n"
                    "  --link PATH          also place a symbolic link to the terminal at PATH\n"
                    "  --detach             serve in the background: return once the terminal\n"
                    "                       (and the link) exist, after printing its path\n"
                    "  --pid-file FILE      write the serving process's id to FILE (removed on\n"
                    "                       exit), for example to end a detached board with kill\n"
                    "  --hex FILE           the chip's initial contents (Intel HEX: PIC10/12/16 words\n"
                    "                       at twice their address, EEPROM from 0x4200; PIC18 bytes,\n"
                    "                       EEPROM from 0xF00000)\n"
                    "  --calib XXXX[,XXXX]  factory calibration values, hexadecimal, for the\n"
                    "                       part's first and second calibration slot\n"
                    "  --firmware row08|row15|norow\n"
                    "                       firmware that knows only row-write code 0x08, only\n"
                    "                       0x15, or neither (default: both)\n"
                    "  --no-pic18           firmware without the PIC18 commands (0x09-0x10)\n"
                    "  --version-text TEXT  version reply (default \"\")\n"
                    "  --version-pad HH     fill the version reply up to 32 bytes with byte HH\n"
                    "                       (hexadecimal; 00 NULs, 20 spaces) after the text's NUL\n"
                    "  --silent             a board that answers nothing\n"
                    "  --pace               real-time pacing: 38400 baud on the wire and the\n"
                    "                       programming waits (off: answers at once)\n"
                    "  --line pty|uart|usb=MS\n"
                    "                       the line's timing, paced: pty as --pace; uart receives\n"
                    "                       each byte whole before echoing it; usb=MS as uart with\n"
                    "                       bytes crossing in MS millisecond frames each way\n"
                    "  --chunk N            replies reach the host in packets of 1 to N bytes\n"
                    "                       (N 1 to 64), each whole once its last byte has crossed,\n"
                    "                       as a USB adapter delivers them; one write each\n"
                    "  --jitter MS          every reply leaves 0 to MS ms late at random\n"
                    "                       (MS up to 100)\n"
                    "  --slow-reply N       every N-th reply is held 150 ms, never those of the\n"
                    "                       version query\n"
                    "  --seed N             seed of the packet sizes and delays (default 1): a run\n"
                    "                       repeats exactly. With --chunk, --jitter or --slow-reply\n"
                    "                       replies leave when due even without --pace (a fast line\n"
                    "                       then, not 38400 baud)\n"
                    "  --trace FILE         write every byte in both directions with a time stamp\n"
                    "                       (seconds since start; '>' host to board, '<' board to host)\n"
                    "  --replay FILE        instead of a chip, play the board's side of a trace\n"
                    "                       (tarnvik-cli --trace, or --trace above) back to the\n"
                    "                       host, each byte as long after the host's bytes before\n"
                    "                       it as it was then; the first byte the host sends\n"
                    "                       otherwise than the trace is reported on stderr\n"
                    "                       (kept open by --detach for it)\n"
                    "  --report FILE        with --replay: write that report to FILE instead, as\n"
                    "                       soon as it is known, or on exit how many of the\n"
                    "                       trace's host bytes came, all as in it\n"
                    "  --fault KIND=N       counting bytes received from the host: silent-after=N,\n"
                    "                       drop=N, bad-echo=N, bad-sum=N or hangup-after=N\n"
                    "                       (may be repeated); after a hang-up the terminal is\n"
                    "                       closed and the program waits to be ended\n"
                    "  --no-protection      ignore the configuration's code and data protection\n"
                    "                       (default: protected memories read as zeros until a\n"
                    "                       bulk erase; --dump always shows the cells)\n"
                    "  --dump FILE          on exit, write the chip's whole memory (program,\n"
                    "                       configuration and calibration words, EEPROM, PIC18\n"
                    "                       ID and configuration bytes) to FILE as Intel HEX,\n"
                    "                       in the layout --hex reads\n"
                    "  --help               show this text\n"
                    "  --version            show the program's version\n";

void PrintUsage(FILE *to)
{
    std::string text = Usage;
    const std::string marker = "(default \"\")";
    const auto at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), std::string("(default \"") + DefaultVersionText + "\")");
    std::fputs(text.c_str(), to);
}

[[noreturn]] void Fail(const std::string &message)
{
    std::fprintf(stderr, "tarnbox-sim: %s\n", message.c_str());
    std::exit(2);
}

bool ParseCalibration(const std::string &text, std::vector<uint16_t> &values)
{
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.empty() || part.size() > 4) return false;
        for (char c : part)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        values.push_back(static_cast<uint16_t>(std::stoul(part, nullptr, 16)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !values.empty() && values.size() <= 2;
}

// One byte as one or two hexadecimal digits.
bool ParseHexByte(const std::string &text, uint8_t &value)
{
    if (text.empty() || text.size() > 2) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = static_cast<uint8_t>(std::stoul(text, nullptr, 16));
    return true;
}

// A decimal number from least to most; fails the run otherwise.
uint64_t Number(const std::string &option, const std::string &text, uint64_t least, uint64_t most)
{
    uint64_t n = 0;
    bool ok = !text.empty() && text.size() <= 20;
    for (char c : text) {
        if (c < '0' || c > '9' || n > (UINT64_MAX - static_cast<uint64_t>(c - '0')) / 10) {
            ok = false;
            break;
        }
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    const std::string range = std::to_string(least) + " to " + std::to_string(most);
    if (!ok || n < least || n > most) Fail("bad " + option + " '" + text + "' (" + range + ")");
    return n;
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

struct Pending {
    SimTime time;
    uint8_t value;
};

} // namespace

namespace {

int RunSimulator(int argc, char **argv)
{
    std::string chipName = "PIC16F877A", link, hexFile, traceFile, dumpFile, pidFile, replayFile, reportFile;
    bool modelProtection = true;
    bool detach = false;
    std::vector<uint16_t> calibration;
    FirmwareOptions fw;
    bool pace = false;
    SimLine line;
    SimShaping shaping;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Fail(arg + " needs a value (see --help)");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("%s\n", VersionLine("tarnbox-sim").c_str());
            return 0;
        } else if (arg == "--chip") {
            chipName = value();
        } else if (arg == "--link") {
            link = value();
        } else if (arg == "--detach") {
            detach = true;
        } else if (arg == "--pid-file") {
            pidFile = value();
        } else if (arg == "--hex") {
            hexFile = value();
        } else if (arg == "--calib") {
            const std::string text = value();
            if (!ParseCalibration(text, calibration)) Fail("bad --calib '" + text + "' (XXXX or XXXX,XXXX)");
        } else if (arg == "--firmware") {
            const std::string form = value();
            if (form == "row08")
                fw.rowWrite = RowWriteForms::Row08;
            else if (form == "row15")
                fw.rowWrite = RowWriteForms::Row15;
            else if (form == "norow")
                fw.rowWrite = RowWriteForms::None;
            else
                Fail("bad --firmware '" + form + "' (row08, row15 or norow)");
        } else if (arg == "--no-pic18") {
            fw.pic18 = false;
        } else if (arg == "--version-text") {
            fw.versionText = value();
        } else if (arg == "--version-pad") {
            const std::string text = value();
            uint8_t pad = 0;
            if (!ParseHexByte(text, pad)) Fail("bad --version-pad '" + text + "' (hexadecimal 00 to FF)");
            fw.versionPad = pad;
        } else if (arg == "--silent") {
            fw.silent = true;
        } else if (arg == "--pace") {
            pace = true;
        } else if (arg == "--line") {
            const std::string text = value();
            if (!ParseSimLine(text, line)) Fail("bad --line '" + text + "' (pty, uart or usb=MS, MS 1 to 255)");
            pace = true;
        } else if (arg == "--chunk") {
            shaping.chunkMax = static_cast<int>(Number(arg, value(), 1, MaxSimChunk));
        } else if (arg == "--jitter") {
            shaping.jitterMs = static_cast<int>(Number(arg, value(), 0, MaxSimJitterMs));
        } else if (arg == "--slow-reply") {
            shaping.slowReplyEvery = static_cast<int>(Number(arg, value(), 0, 1'000'000));
        } else if (arg == "--seed") {
            shaping.seed = Number(arg, value(), 0, UINT64_MAX);
        } else if (arg == "--trace") {
            traceFile = value();
        } else if (arg == "--no-protection") {
            modelProtection = false;
        } else if (arg == "--replay") {
            replayFile = value();
        } else if (arg == "--report") {
            reportFile = value();
        } else if (arg == "--dump") {
            dumpFile = value();
        } else if (arg == "--fault") {
            SimFault fault;
            std::string error;
            if (!ParseFault(value(), fault, error)) Fail(error);
            fw.faults.push_back(fault);
        } else {
            Fail("unknown option '" + arg + "' (see --help)");
        }
    }

    if (!reportFile.empty() && replayFile.empty())
        Fail("--report needs --replay: it reports how the host kept to the trace");
    if (!replayFile.empty() && shaping.Any())
        Fail("--replay plays the trace's own timing; --chunk, --jitter and --slow-reply do not apply");

    std::string error;
    auto chip = MakeSimChip(chipName, error);
    if (!chip) Fail(error);
    if (!hexFile.empty() && !LoadHexIntoChip(*chip, hexFile, error)) Fail(error);
    if (!calibration.empty()) chip->SetCalibration(calibration);
    chip->ModelProtection(modelProtection);

    std::unique_ptr<TraceReplay> replay;
    if (!replayFile.empty()) {
        std::vector<TraceEvent> events;
        long cut = 0;
        if (!ReadTraceForReplay(replayFile, events, error, cut)) Fail(error);
        if (cut != 0)
            std::fprintf(stderr,
                         "tarnbox-sim: replay: %s:%ld: the trace was cut in this line; "
                         "it is played up to the line before\n",
                         replayFile.c_str(), cut);
        replay = std::make_unique<TraceReplay>(std::move(events));
    }

    // Made now, so that a report from an earlier run is never taken for this one's.
    FILE *report = nullptr;
    if (!reportFile.empty() && !(report = std::fopen(reportFile.c_str(), "w")))
        Fail("cannot write " + reportFile + ": " + std::strerror(errno));

    // The trace keeps the rules of the host's own: never a file of this run,
    // never through a link, never a FIFO to block on.
    std::shared_ptr<WireTrace> trace;
    if (!traceFile.empty() &&
        !(trace = WireTrace::Create(traceFile, "", {hexFile, dumpFile, pidFile, replayFile, reportFile, link},
                                    error)))
        Fail("cannot write " + error);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        Fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    const char *slaveName = ptsname(master);
    if (!slaveName) Fail("cannot name the pseudo-terminal");
    const std::string slavePath = slaveName;
    // Keep a descriptor on the terminal's own side: the host may open and
    // close it many times, and the terminal stays up in between. Raw mode so
    // that nothing translates bytes before the host applies its own settings.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) Fail("cannot open " + slavePath + ": " + std::strerror(errno));
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(slavePath.c_str(), link.c_str()) != 0)
            Fail("cannot link " + link + ": " + std::strerror(errno));
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // A file-size limit ends a trace write with EFBIG, which is reported.
    signal(SIGXFSZ, SIG_IGN);

    std::fflush(nullptr);
    if (detach) {
        const pid_t child = fork();
        if (child < 0) Fail(std::string("cannot start the background process: ") + std::strerror(errno));
        if (child > 0) {
            // The terminal and the link are in place; the board is served by
            // the child from here on.
            if (!pidFile.empty() && !WritePidFile(pidFile, child)) {
                const int error = errno;
                kill(child, SIGTERM);
                Fail("cannot write " + pidFile + ": " + std::strerror(error));
            }
            std::printf("%s\n", slavePath.c_str());
            std::fflush(stdout);
            _exit(0);
        }
        LeaveCallersStreams(replay && !report);
    } else {
        if (!pidFile.empty() && !WritePidFile(pidFile, getpid()))
            Fail("cannot write " + pidFile + ": " + std::strerror(errno));
        std::printf("%s\n", slavePath.c_str());
        std::fflush(stdout);
    }

    fw.piecewiseStreams = true;
    TarnboxFirmware firmware(*chip, fw);
    const auto origin = std::chrono::steady_clock::now();
    auto now = [&]() -> SimTime {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - origin)
            .count();
    };
    auto traceByte = [&](char direction, uint8_t value) {
        if (!trace) return;
        if (direction == '>')
            trace->Sent(&value, 1);
        else
            trace->Received(&value, 1);
    };

    int fd = master;
    SimTime lastArrival = 0;
    SimTime lineFree = 0;
    // Unpaced, shaped replies cross a fast line instead of 38400 baud, so a
    // long read stays quick while its packets still come one after another.
    constexpr SimTime UnpacedByteTime = 10'000;
    std::optional<ReplyShaper> shaper;
    if (shaping.Any()) shaper.emplace(shaping, pace ? SimByteTime : UnpacedByteTime);
    // Replies leave when due: on the line model's time when paced, on the
    // shaping's when shaped, otherwise at once.
    const bool timed = pace || shaper.has_value();
    // The kernel's default timer slack (50 µs) would be added to every paced
    // reply, a fifth of a byte time.
    if (timed || replay) prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // How late a paced wake-up comes back on this machine, as a running
    // average: the simulator wakes that much ahead of each reply, so that
    // replies leave on the line model's time on average instead of always a
    // scheduler wake-up late (about 100 µs on a virtual machine, a fifth of
    // an echo), which no host could make up.
    SimTime oversleep = 0;
    // What is due and not yet written, one write() for each: one run of bytes
    // as they come, or with --chunk each packet (whose bytes share a time) on
    // its own.
    std::deque<std::vector<uint8_t>> unsent;
    // How much of a stream is made at a time.
    constexpr size_t StreamPiece = 256;
    SimTime packetTime = -1;
    auto queue = [&](uint8_t value, bool newWrite) {
        if (unsent.empty() || newWrite) unsent.emplace_back();
        unsent.back().push_back(value);
    };
    std::vector<uint8_t> replayed;
    while (!stopRequested) {
        auto &out = firmware.Output();
        const SimTime t = now();
        if (replay) {
            replayed.clear();
            replay->TakeDue(t, replayed);
            for (uint8_t b : replayed)
                queue(b, false);
        }
        // A stream leaves as it is made, a piece at a time: its first byte
        // goes out at once, however long the simulator takes to make all of
        // it (a sanitizer build on a busy machine needs longer for a 32 KB
        // table read than the host waits for its first byte).
        while (!replay && firmware.Streaming() && out.size() < StreamPiece && (timed || unsent.empty())) {
            const size_t before = out.size();
            firmware.ContinueStream(StreamPiece);
            if (shaper) shaper->Shape(out, before, false, pace ? std::nullopt : std::optional<SimTime>(t));
        }
        while (!replay && !out.empty() && (!timed || line.ToHost(out.front().time) <= t + oversleep)) {
            queue(out.front().value, shaping.chunkMax > 0 && out.front().time != packetTime);
            packetTime = out.front().time;
            out.pop_front();
        }
        while (fd >= 0 && !unsent.empty()) {
            std::vector<uint8_t> &next = unsent.front();
            const ssize_t n = write(fd, next.data(), next.size());
            if (n <= 0) break;
            for (ssize_t k = 0; k < n; ++k)
                traceByte('<', next[k]);
            if (static_cast<size_t>(n) < next.size()) {
                next.erase(next.begin(), next.begin() + n);
                break;
            }
            unsent.pop_front();
        }
        if (fd >= 0 && firmware.HungUp() && unsent.empty() && out.empty()) {
            // The board is gone: the host's next read ends at once.
            close(fd);
            close(slave);
            fd = -1;
        }

        // Paced replies are due at byte-time resolution (about 260 µs): a
        // millisecond poll would add up to a millisecond to every echo.
        SimTime wait = 50'000'000;
        const bool pacedWait = timed && !out.empty();
        if (pacedWait) wait = std::clamp<SimTime>(line.ToHost(out.front().time) - oversleep - now(), 0, wait);
        if (replay && replay->NextDue() >= 0) wait = std::clamp<SimTime>(replay->NextDue() - now(), 0, wait);
        if (firmware.Streaming() && out.size() < StreamPiece && (timed || unsent.empty())) wait = 0;
        const timespec timeout{static_cast<time_t>(wait / 1'000'000'000),
                               static_cast<long>(wait % 1'000'000'000)};
        pollfd p{fd, static_cast<short>(POLLIN | (unsent.empty() ? 0 : POLLOUT)), 0};
        if (fd < 0) {
            ppoll(nullptr, 0, &timeout, nullptr);
            continue;
        }
        const SimTime asleep = now();
        const int ready = ppoll(&p, 1, &timeout, nullptr);
        if (ready == 0 && pacedWait && wait > 0) {
            const SimTime late = std::clamp<SimTime>(now() - asleep - wait, 0, 200'000);
            oversleep += (late - oversleep) / 16;
        }
        if (ready <= 0) continue;
        if (p.revents & POLLIN) {
            uint8_t buffer[4096];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                const SimTime arrived = now();
                for (ssize_t k = 0; k < n; ++k) {
                    traceByte('>', buffer[k]);
                    if (replay) {
                        const bool wasOn = replay->Divergence().empty();
                        replay->Receive(buffer[k], arrived);
                        if (wasOn && !replay->Divergence().empty()) {
                            // Out at once: the run is often ended by a signal next.
                            if (report) {
                                std::fprintf(report, "%s\n", replay->Divergence().c_str());
                                std::fflush(report);
                            } else {
                                std::fprintf(stderr, "tarnbox-sim: replay: %s\n",
                                             replay->Divergence().c_str());
                            }
                        }
                        continue;
                    }
                    // A run written at once still arrives a byte time apart on
                    // a real line.
                    if (line.kind != LineKind::Pty)
                        lastArrival = line.ToBoard(arrived, lineFree);
                    else
                        lastArrival = pace ? std::max(arrived, lastArrival + SimByteTime) : arrived;
                    const size_t before = out.size();
                    firmware.Receive(buffer[k], lastArrival);
                    if (shaper)
                        shaper->Shape(out, before, firmware.InVersionQuery(),
                                      pace ? std::nullopt : std::optional<SimTime>(arrived));
                }
            }
        }
    }

    if (fd >= 0) close(fd);
    if (fd >= 0) close(slave);
    // The report is complete before the process-id file goes, which a
    // script may wait for.
    bool reported = true;
    if (report) {
        if (replay->Divergence().empty())
            std::fprintf(report, "the host sent %zu of the trace's %zu host bytes, each as in the trace\n",
                         replay->HostBytesReceived(), replay->HostBytesInTrace());
        reported = std::fclose(report) == 0;
    }
    // So is the trace; one a write failed for ends where it was cut, and
    // the run says so.
    const int traceFailed = trace ? trace->Finish() : 0;
    if (traceFailed != 0)
        std::fprintf(stderr, "tarnbox-sim: the trace %s was cut: %s\n", traceFile.c_str(),
                     ErrorText(traceFailed).c_str());
    if (!link.empty()) unlink(link.c_str());
    if (!pidFile.empty()) unlink(pidFile.c_str());
    if (!reported) {
        std::fprintf(stderr, "tarnbox-sim: cannot write %s\n", reportFile.c_str());
        return 1;
    }
    if (!dumpFile.empty() && !SaveChipAsHex(*chip, dumpFile, error)) {
        std::fprintf(stderr, "tarnbox-sim: %s\n", error.c_str());
        return 1;
    }
    return traceFailed != 0 ? 1 : 0;
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
