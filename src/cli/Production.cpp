#include "Production.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "CliPorts.h"
#include "CliSession.h"
#include "StopSignals.h"
#include "TerminalFrontEnd.h"
#include "catalogue/DeviceSelection.h"
#include "image/checksum.h"
#include "operations/operations.h"
#include "production/ProductionLog.h"
#include "production/ChipHook.h"
#include "production/SerialList.h"
#include "production/SerialState.h"
#include "production/gang.h"
#include "support/interrupt.h"
#include "support/textutil.h"
#include "texts/terminal_texts.h"

namespace {

constexpr int ExitSoftware = 70; // a port's thread ended by an internal error
constexpr int BarCells = 10;

// stdout and the progress line on stderr, shared by the ports' threads:
// every output line is written whole, with its port's prefix, and the
// progress line is cleared before and drawn again after it.
class Console {
public:
    Console(std::vector<std::string> labels, bool progress)
        : labels_(std::move(labels)), bars_(labels_.size()), progress_(progress)
    {
    }

    void Line(const std::string &text)
    {
        std::lock_guard guard(mutex_);
        ClearBars();
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        FlushOutput(stdout);
        DrawBars();
    }

    void Progress(size_t port, int position, int span)
    {
        if (!progress_) return;
        std::lock_guard guard(mutex_);
        const int percent = span > 0 ? std::clamp(position * 100 / span, 0, 100) : 0;
        if (bars_[port] == percent) return;
        bars_[port] = percent;
        DrawBars();
    }

    void EndProgress()
    {
        std::lock_guard guard(mutex_);
        ClearBars();
        std::fill(bars_.begin(), bars_.end(), 0);
    }

private:
    // One bar per port on one line: "COM3 [#####.....]  50%  COM4 [...".
    void DrawBars()
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
    void ClearBars()
    {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        FlushOutput(stderr);
        drawn_ = false;
    }

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
    void SetRange(int minimum, int maximum) override
    {
        minimum_ = minimum;
        maximum_ = maximum;
        SetPosition(minimum);
    }
    void StepIt() override { SetPosition(position_ < maximum_ ? position_ + 1 : position_); }
    void SetPosition(int position) override
    {
        position_ = position;
        console_.Progress(port_, position_ - minimum_, maximum_ - minimum_);
    }

private:
    Console &console_;
    size_t port_;
    int minimum_ = 0, maximum_ = 100, position_ = 0;
};

// A stdio stream that hands each complete line to the console with the
// port's prefix, so the terminal front end prints as it always does.
class PrefixStream {
public:
    PrefixStream(Console &console, std::string prefix) : console_(console), prefix_(std::move(prefix))
    {
        static const cookie_io_functions_t io{nullptr, &PrefixStream::Write, nullptr, nullptr};
        file_ = fopencookie(this, "w", io);
    }
    ~PrefixStream()
    {
        if (file_) std::fclose(file_);
        if (!partial_.empty()) console_.Line(prefix_ + partial_);
    }
    PrefixStream(const PrefixStream &) = delete;
    PrefixStream &operator=(const PrefixStream &) = delete;
    FILE *File() const { return file_ ? file_ : stdout; }

private:
    static ssize_t Write(void *cookie, const char *data, size_t n)
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

// The programmer stopped answering somewhere in the chip's run: the table
// and the log say so whichever step it was.
bool LinkLost(const std::optional<OperationResult> &outcome)
{
    return outcome && outcome->LostLink();
}


void Error(const std::string &text)
{
    std::fprintf(stderr, "tarnvik-cli: %s\n", text.c_str());
}

// The serial numbers of a run: where they go and where they come from.
struct Serials {
    SerialTarget target;
    std::unique_ptr<SerialAllocator> stock;
};

// Checks the place against the loaded image and opens the stock; the exit
// status of a refusal, 0 when numbers can be drawn.
int PrepareSerials(const CliOptions &options, const MemoryBuffer &image, DeviceSelection device, Serials &s)
{
    if (device.Index < 0) {
        Error("serial numbers need a device (-d)");
        return ExitRefused;
    }
    if (device.Pic18)
        s.target.device18 = &DeviceTable18[static_cast<size_t>(device.Index)];
    else
        s.target.device = &DeviceTable[static_cast<size_t>(device.Index)];
    bool overlap = false;
    const std::string refused = CheckSerialPlace(options.serialLayout, s.target, image, &overlap);
    if (!refused.empty()) {
        Error(refused + (overlap ? " (--serial-overwrite places it there anyway)" : ""));
        return ExitRefused;
    }
    s.stock = std::make_unique<SerialAllocator>(options.serialStart, options.serialStep);
    std::string error;
    if (!options.serialList.empty()) {
        std::vector<uint64_t> list;
        if (!ReadSerialList(options.serialList, list, error)) {
            Error(error);
            return ExitRefused;
        }
        s.stock->UseList(std::move(list), std::filesystem::path(options.serialList).filename().string());
    }
    if (!options.serialState.empty() &&
        !s.stock->UseStateFile(options.serialState, options.serialStartGiven, error)) {
        Error(error);
        return ExitRefused;
    }
    return ExitSuccess;
}

// Draws one number per port, in port order, all checked before any chip of
// the round starts; on a refusal every drawn number goes back.
bool DrawNumbers(const CliOptions &options, Serials &s, std::vector<std::optional<uint64_t>> &numbers)
{
    std::string error;
    for (auto &n : numbers) {
        n = s.stock->Take(error);
        if (n && *n > SerialMaximum(options.serialLayout))
            error = "serial number " + std::to_string(*n) + " does not fit in " +
                    std::to_string(options.serialLayout.bytes) +
                    (options.serialLayout.format == SerialFormat::Ascii ? " digits" : " bytes") + " (--serial-bytes)";
        else if (n)
            continue;
        Error(error);
        std::string ignored;
        for (auto &back : numbers)
            if (back) s.stock->GiveBack(*back, ignored);
        return false;
    }
    return true;
}

// The answer after a round: on a terminal after a prompt, else a line. Only
// an empty line programs the next chips; a line that is neither (quit, exit,
// stop) is asked again.
NextRound WaitForNextChips(size_t ports)
{
    for (;;) {
        if (StopAfterRound()) return NextRound::Stop;
        if (isatty(STDIN_FILENO)) {
            std::fputs(texts::NextChipsPrompt(ports > 1).c_str(), stderr);
            FlushOutput(stderr);
        }
        const NextRound next =
            WaitForNextRound(STDIN_FILENO, [] { return StopAfterRound() || InterruptRequested(); });
        if (StopAfterRound() && isatty(STDIN_FILENO)) std::fputc('\n', stderr);
        if (next != NextRound::Unclear) return next;
        // A line other than Enter or q is answered before the question
        // comes again.
        std::fprintf(stderr, "%s\n", texts::UnclearNextChipsAnswer().c_str());
        FlushOutput(stderr);
    }
}

// What every round of a run shares: the image and its device, the ports,
// the serial numbers, the log, the console and the totals.
struct Bench {
    Bench(const CliOptions &options, const MemoryBuffer &image, DeviceSelection device)
        : options(options), image(image), device(device), hasImage(!options.file.empty()),
          ports(options.ports.empty() ? std::vector<std::string>{""} : options.ports),
          labels(Labels(ports)), n(ports.size()),
          console(labels, isatty(STDERR_FILENO) == 1 && options.verbosity != Verbosity::Quiet), totals(labels)
    {
    }
    // An empty port is the settings file's port, or the probe's.
    static std::vector<std::string> Labels(const std::vector<std::string> &ports)
    {
        std::vector<std::string> labels;
        for (const std::string &p : ports)
            labels.push_back(p.empty() ? "default" : p);
        return labels;
    }

    const CliOptions &options;
    const MemoryBuffer &image;
    const DeviceSelection device;
    const bool hasImage;
    const std::vector<std::string> ports, labels;
    const size_t n;
    Console console;
    RunTotals totals;
    Serials serials;
    ProductionLog log;
    std::optional<uint32_t> crc;
    std::optional<uint16_t> checksum;
};

// The serial numbers' stock and the log, before the first chip; the exit
// status of a refusal, 0 when the run may start.
int OpenBench(Bench &bench)
{
    const CliOptions &options = bench.options;
    if (options.serial) {
        if (const int refused = PrepareSerials(options, bench.image, bench.device, bench.serials)) return refused;
        const SerialStock stock = bench.serials.stock->Stock();
        if (bench.serials.stock->FromFile() && options.serialList.empty() && options.serialStartGiven &&
            stock.next != options.serialStart)
            Error("serial numbers continue from " + options.serialState + " at " +
                  std::to_string(stock.givenBack.empty() ? stock.next : *stock.givenBack.begin()));
    }
    std::string error;
    if (!options.log.empty() && !bench.log.Open(options.log, error)) {
        Error(error);
        return ExitFileError;
    }
    if (bench.hasImage) bench.crc = ImageCrc32(bench.image, bench.device.Pic18);
    if (bench.hasImage && bench.device.Index >= 0) bench.checksum = ImageChecksum(bench.image, bench.device);
    return ExitSuccess;
}

// One port's chip of a round, on the port's own thread: its session over
// its copy of the image; the table's row is filled in.
int RunChip(Bench &bench, size_t i, const MemoryBuffer *image, std::optional<uint64_t> number, PortResult &row)
{
    const auto start = std::chrono::steady_clock::now();
    CliOptions own = bench.options;
    own.port = bench.ports[i];
    PrefixStream out(bench.console, "[" + bench.labels[i] + "] ");
    PortFrontEnd ui(own, out.File(), bench.console, i);
    CliSession session(own, ui);
    session.ForChip(image, bench.device);
    if (number) ui.Print(texts::SerialNumberLine(*number));
    const int status = session.Run();
    row.deviceId = session.DeviceIdRead();
    const bool lost = LinkLost(session.LastOutcome());
    row.result = lost ? "link lost" : session.Result();
    if (lost) row.linkError = LinkFaultWord(session.LastOutcome()->linkFault);
    if (row.result.empty()) row.result = status ? "failed" : "ok";
    row.status = status;
    row.elapsedMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    return status;
}

// The chip's hook, after its row is in the log; false when it failed or ran
// out of time, which ends the run after this round (nothing done is undone).
bool RunChipHook(Bench &bench, size_t i, const PortResult &r, bool passed)
{
    const std::vector<std::string> &words = passed ? bench.options.onPass : bench.options.onFail;
    if (words.empty()) return true;
    const HookRun run = RunHook(words,
                                {{"TARNVIK_PORT", bench.labels[i]},
                                 {"TARNVIK_RESULT", passed ? "pass" : "fail"},
                                 {"TARNVIK_REASON", passed ? std::string() : r.result},
                                 {"TARNVIK_SERIAL", r.serial},
                                 {"TARNVIK_DEVICE_ID", r.deviceId},
                                 {"TARNVIK_CHECKSUM", bench.checksum ? Hex(*bench.checksum, 4) : std::string()},
                                 {"TARNVIK_FILE", bench.options.file}},
                                bench.options.hookSeconds * 1000);
    const std::string name = passed ? "--on-pass" : "--on-fail";
    std::istringstream output(run.output);
    for (std::string line; std::getline(output, line);)
        bench.console.Line("[" + bench.labels[i] + "] " + name + ": " + line);
    const std::string failure = HookFailure(run);
    if (failure.empty()) return true;
    Error("[" + bench.labels[i] + "] " + name + " " + failure + "; the run stops after this round");
    return false;
}

// After a round: the numbers kept or given back, the log's rows, the hooks
// and the table; false when the stock, the log or a hook failed, which ends
// the run.
bool RecordRound(Bench &bench, const std::vector<std::optional<uint64_t>> &numbers,
                 const std::vector<PortResult> &results, const std::vector<int> &statuses, int &worst)
{
    bool fine = true;
    std::string error;
    for (size_t i = 0; i < bench.n; ++i) {
        const bool passed = statuses[i] == ExitSuccess;
        bench.totals.Add(i, passed);
        // Only a chip that programmed and verified keeps its number.
        if (numbers[i] && !(passed ? bench.serials.stock->Consume(*numbers[i], error)
                                   : bench.serials.stock->GiveBack(*numbers[i], error))) {
            Error(error);
            worst = std::max(worst, static_cast<int>(ExitFileError));
            fine = false;
        }
        const PortResult &r = results[i];
        if (bench.log.IsOpen() && !bench.log.Append({std::time(nullptr), bench.labels[i], DeviceName(bench.device),
                                                     r.deviceId, r.serial, r.result, bench.crc, r.elapsedMs,
                                                     bench.checksum, r.linkError},
                                                    error)) {
            Error(error);
            worst = std::max(worst, static_cast<int>(ExitFileError));
            fine = false;
        }
        if (!RunChipHook(bench, i, r, passed)) {
            worst = std::max(worst, static_cast<int>(ExitNegative));
            fine = false;
        }
    }
    for (const std::string &line : ResultTable(results))
        bench.console.Line(line);
    worst = std::max(worst, WorstStatus(statuses));
    return fine;
}

// One round: a number per port, each chip on its port's thread, then the
// record; false when the run is to end after it.
bool RunRound(Bench &bench, int &worst)
{
    const size_t n = bench.n;
    std::vector<std::optional<uint64_t>> numbers(n);
    if (bench.options.serial && !DrawNumbers(bench.options, bench.serials, numbers)) {
        worst = std::max(worst, static_cast<int>(ExitRefused));
        return false;
    }
    std::vector<std::unique_ptr<MemoryBuffer>> images(n);
    for (size_t i = 0; i < n && bench.hasImage; ++i) {
        images[i] = std::make_unique<MemoryBuffer>(bench.image);
        if (numbers[i]) PlaceSerial(bench.options.serialLayout, bench.serials.target, *numbers[i], *images[i]);
    }
    std::vector<PortResult> results(n);
    for (size_t i = 0; i < n; ++i)
        results[i] = {bench.labels[i], "", numbers[i] ? std::to_string(*numbers[i]) : "", "failed", 0,
                      ExitSoftware,    {}};
    const std::vector<int> statuses = RunGang(
        n, [&](size_t i) { return RunChip(bench, i, images[i].get(), numbers[i], results[i]); }, ExitSoftware);
    bench.console.EndProgress();
    return RecordRound(bench, numbers, results, statuses, worst);
}

} // namespace

int RunProduction(const CliOptions &options)
{
    // The file is loaded once, for every port and every chip.
    TerminalFrontEnd loaderUi(options, stdout, stderr, false);
    CliSession loader(options, loaderUi);
    if (const int refused = loader.Prepare()) return refused;
    loaderUi.DropStatus();
    Bench bench(options, loader.Buffer(), loader.Selection());
    if (const int refused = OpenBench(bench)) return refused;
    int worst = ExitSuccess;
    BoardReturn boards(CliSettingsPath(options), bench.ports);
    for (bool more = true; more;) {
        more = RunRound(bench, worst);
        // A signal that stopped the operations ends the run; one that came in
        // a --repeat round only after the round.
        if (!options.repeat || !more || InterruptRequested()) break;
        more = WaitForNextChips(bench.n) == NextRound::Again;
        // A board unplugged to change its chip may not be back yet.
        if (more) more = boards.Wait([] { return StopAfterRound() || InterruptRequested(); });
    }
    if (options.repeat)
        for (const std::string &line : bench.totals.Lines())
            bench.console.Line(line);
    return worst;
}
