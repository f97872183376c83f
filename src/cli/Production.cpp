#include "Production.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

#include "CliPorts.h"
#include "CliSession.h"
#include "StopSignals.h"
#include "TerminalFrontEnd.h"
#include "catalogue/DeviceSelection.h"
#include "image/checksum.h"
#include "operations/operations.h"
#include "production/ProductionLog.h"
#include "production/SerialState.h"
#include "production/gang.h"
#include "support/interrupt.h"

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
        if (n && *n > SerialMaximum(options.serialLayout.bytes))
            error = "serial number " + std::to_string(*n) + " does not fit in " +
                    std::to_string(options.serialLayout.bytes) + " bytes (--serial-bytes)";
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

// What a line other than Enter or q is answered with, before the question
// comes again.
constexpr const char *UnclearAnswerText = "Enter で続行、q で終了します。";

// The answer after a round: on a terminal after a prompt, else a line. Only
// an empty line programs the next chips; a line that is neither (quit, exit,
// stop) is asked again.
NextRound WaitForNextChips(size_t ports)
{
    for (;;) {
        if (StopAfterRound()) return NextRound::Stop;
        if (isatty(STDIN_FILENO)) {
            std::fprintf(stderr, "%sチップを交換して Enter を押してください（終了は q と Enter）: ",
                         ports > 1 ? "各ボードの" : "");
            FlushOutput(stderr);
        }
        const NextRound next =
            WaitForNextRound(STDIN_FILENO, [] { return StopAfterRound() || InterruptRequested(); });
        if (StopAfterRound() && isatty(STDIN_FILENO)) std::fputc('\n', stderr);
        if (next != NextRound::Unclear) return next;
        std::fprintf(stderr, "%s\n", UnclearAnswerText);
        FlushOutput(stderr);
    }
}

} // namespace

int RunProduction(const CliOptions &options)
{
    // The file is loaded once, for every port and every chip.
    TerminalFrontEnd loaderUi(options, stdout, stderr, false);
    CliSession loader(options, loaderUi);
    if (const int refused = loader.Prepare()) return refused;
    loaderUi.DropStatus();
    const bool hasImage = !options.file.empty();
    const MemoryBuffer &image = loader.Buffer();
    const DeviceSelection device = loader.Selection();

    Serials serials;
    if (options.serial) {
        if (const int refused = PrepareSerials(options, image, device, serials)) return refused;
        const SerialStock stock = serials.stock->Stock();
        if (serials.stock->FromFile() && options.serialStartGiven && stock.next != options.serialStart)
            Error("serial numbers continue from " + options.serialState + " at " +
                  std::to_string(stock.givenBack.empty() ? stock.next : *stock.givenBack.begin()));
    }
    ProductionLog log;
    std::string error;
    if (!options.log.empty() && !log.Open(options.log, error)) {
        Error(error);
        return ExitFileError;
    }
    const std::optional<uint32_t> crc =
        hasImage ? std::optional<uint32_t>(ImageCrc32(image, device.Pic18)) : std::nullopt;
    const std::optional<uint16_t> checksum =
        hasImage && device.Index >= 0 ? std::optional<uint16_t>(ImageChecksum(image, device)) : std::nullopt;

    std::vector<std::string> ports = options.ports;
    if (ports.empty()) ports.push_back(""); // the settings file's port, or the probe's
    std::vector<std::string> labels;
    for (const std::string &p : ports)
        labels.push_back(p.empty() ? "default" : p);
    const size_t n = ports.size();
    Console console(labels, isatty(STDERR_FILENO) == 1 && options.verbosity != Verbosity::Quiet);
    RunTotals totals(labels);
    int worst = ExitSuccess;
    BoardReturn boards(options.settings.empty() ? WindowSettingsPath() : options.settings, ports);

    for (bool more = true; more;) {
        std::vector<std::optional<uint64_t>> numbers(n);
        if (options.serial && !DrawNumbers(options, serials, numbers)) {
            worst = std::max(worst, static_cast<int>(ExitRefused));
            break;
        }
        std::vector<std::unique_ptr<MemoryBuffer>> images(n);
        for (size_t i = 0; i < n && hasImage; ++i) {
            images[i] = std::make_unique<MemoryBuffer>(image);
            if (numbers[i]) PlaceSerial(options.serialLayout, serials.target, *numbers[i], *images[i]);
        }

        std::vector<PortResult> results(n);
        for (size_t i = 0; i < n; ++i)
            results[i] = {labels[i],    "", numbers[i] ? std::to_string(*numbers[i]) : "", "failed", 0,
                          ExitSoftware, {}};
        const std::vector<int> statuses = RunGang(
            n,
            [&](size_t i) {
                const auto start = std::chrono::steady_clock::now();
                CliOptions own = options;
                own.port = ports[i];
                PrefixStream out(console, "[" + labels[i] + "] ");
                PortFrontEnd ui(own, out.File(), console, i);
                CliSession session(own, ui);
                session.ForChip(images[i].get(), device);
                if (numbers[i]) ui.Print("シリアル番号 " + std::to_string(*numbers[i]));
                const int status = session.Run();
                results[i].deviceId = session.DeviceIdRead();
                const bool lost = LinkLost(session.LastOutcome());
                results[i].result = lost ? "link lost" : session.Result();
                if (lost) results[i].linkError = LinkFaultWord(session.LastOutcome()->linkFault);
                if (results[i].result.empty()) results[i].result = status ? "failed" : "ok";
                results[i].status = status;
                results[i].elapsedMs =
                    static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
                return status;
            },
            ExitSoftware);
        console.EndProgress();

        for (size_t i = 0; i < n; ++i) {
            const bool passed = statuses[i] == ExitSuccess;
            totals.Add(i, passed);
            // Only a chip that programmed and verified keeps its number.
            if (numbers[i] && !(passed ? serials.stock->Consume(*numbers[i], error)
                                       : serials.stock->GiveBack(*numbers[i], error))) {
                Error(error);
                worst = std::max(worst, static_cast<int>(ExitFileError));
                more = false;
            }
            if (log.IsOpen() && !log.Append({std::time(nullptr), labels[i], DeviceName(device),
                                             results[i].deviceId, results[i].serial, results[i].result, crc,
                                             results[i].elapsedMs, checksum, results[i].linkError},
                                            error)) {
                Error(error);
                worst = std::max(worst, static_cast<int>(ExitFileError));
                more = false;
            }
        }
        for (const std::string &line : ResultTable(results))
            console.Line(line);
        worst = std::max(worst, WorstStatus(statuses));

        // A signal that stopped the operations ends the run; one that came in
        // a --repeat round only after the round.
        if (!options.repeat || !more || InterruptRequested()) break;
        more = WaitForNextChips(n) == NextRound::Again;
        // A board unplugged to change its chip may not be back yet.
        if (more) more = boards.Wait([] { return StopAfterRound() || InterruptRequested(); });
    }
    if (options.repeat)
        for (const std::string &line : totals.Lines())
            console.Line(line);
    return worst;
}
