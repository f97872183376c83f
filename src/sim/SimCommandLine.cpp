#include "SimCommandLine.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <functional>
#include <stdexcept>
#include <utility>

namespace {

// A bad value, thrown from the conversion of the option that holds it and
// reported as the reason of the parse.
struct BadValue : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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

// Up to two words of up to four hexadecimal digits, separated by a comma.
// Added to what an earlier --calib gave: the part has two slots at most.
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

// A decimal number from least to most.
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
    if (!ok || n < least || n > most) throw BadValue("bad " + option + " '" + text + "' (" + range + ")");
    return n;
}

RowWriteForms FirmwareForm(const std::string &form)
{
    if (form == "row08") return RowWriteForms::Row08;
    if (form == "row15") return RowWriteForms::Row15;
    if (form == "norow") return RowWriteForms::None;
    throw BadValue("bad --firmware '" + form + "' (row08, row15 or norow)");
}

// An option with a value, converted as each occurrence is taken: every one
// is checked, and a later one overrides an earlier one unless convert adds
// to what is there (--calib, --fault).
void Valued(CLI::App &app, const char *name, std::function<void(const std::string &)> convert)
{
    app.add_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->each(std::move(convert));
}

void AddOptions(CLI::App &app, SimCommandLine &o)
{
    FirmwareOptions &fw = o.firmware;
    SimShaping &shaping = o.shaping;
    app.add_option("--chip", o.chip);
    app.add_option("--link", o.link);
    app.add_flag("--detach", o.detach);
    app.add_option("--pid-file", o.pidFile);
    app.add_option("--hex", o.hexFile);
    Valued(app, "--calib", [&o](const std::string &text) {
        if (!ParseCalibration(text, o.calibration))
            throw BadValue("bad --calib '" + text + "' (XXXX or XXXX,XXXX)");
    });
    Valued(app, "--firmware", [&fw](const std::string &text) { fw.rowWrite = FirmwareForm(text); });
    app.add_flag_callback("--no-pic18", [&fw] { fw.pic18 = false; });
    app.add_option("--version-text", fw.versionText);
    Valued(app, "--version-pad", [&fw](const std::string &text) {
        uint8_t pad = 0;
        if (!ParseHexByte(text, pad))
            throw BadValue("bad --version-pad '" + text + "' (hexadecimal 00 to FF)");
        fw.versionPad = pad;
    });
    app.add_flag("--silent", fw.silent);
    app.add_flag("--pace", o.pace);
    // Every line model is paced: it times bytes on the wire.
    Valued(app, "--line", [&o](const std::string &text) {
        if (!ParseSimLine(text, o.line))
            throw BadValue("bad --line '" + text + "' (pty, uart or usb=MS, MS 1 to 255)");
        o.pace = true;
    });
    Valued(app, "--chunk", [&shaping](const std::string &text) {
        shaping.chunkMax = static_cast<int>(Number("--chunk", text, 1, MaxSimChunk));
    });
    Valued(app, "--jitter", [&shaping](const std::string &text) {
        shaping.jitterMs = static_cast<int>(Number("--jitter", text, 0, MaxSimJitterMs));
    });
    Valued(app, "--slow-reply", [&shaping](const std::string &text) {
        shaping.slowReplyEvery = static_cast<int>(Number("--slow-reply", text, 0, 1'000'000));
    });
    Valued(app, "--seed",
           [&shaping](const std::string &text) { shaping.seed = Number("--seed", text, 0, UINT64_MAX); });
    app.add_option("--trace", o.traceFile);
    app.add_flag_callback("--no-protection", [&o] { o.modelProtection = false; });
    app.add_option("--replay", o.replayFile);
    app.add_option("--report", o.reportFile);
    app.add_option("--dump", o.dumpFile);
    Valued(app, "--fault", [&fw](const std::string &text) {
        SimFault fault;
        std::string error;
        if (!ParseFault(text, fault, error)) throw BadValue(error);
        fw.faults.push_back(fault);
    });
}

// Options that cannot go together.
bool CheckCombination(const SimCommandLine &o, std::string &error)
{
    if (!o.reportFile.empty() && o.replayFile.empty())
        error = "--report needs --replay: it reports how the host kept to the trace";
    else if (!o.replayFile.empty() && o.shaping.Any())
        error = "--replay plays the trace's own timing; --chunk, --jitter and --slow-reply do not apply";
    return error.empty();
}

} // namespace

bool ParseSimCommandLine(const std::vector<std::string> &args, SimCommandLine &options, std::string &error)
{
    CLI::App app{"tarnbox-sim", "tarnbox-sim"};
    app.set_help_flag();
    // A repeated option counts with its last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // Anything not an option is refused below, in its own words.
    app.allow_extras();
    const CLI::Option *help = app.add_flag("-h,--help");
    const CLI::Option *version = app.add_flag("--version");
    AddOptions(app, options);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const BadValue &e) {
        error = e.what();
    } catch (const CLI::ArgumentMismatch &e) {
        // An option's value is taken whatever it looks like, so only the
        // last argument can lack one.
        const CLI::Option *last = args.empty() ? nullptr : app.get_option_no_throw(args.back());
        error = last ? args.back() + " needs a value (see --help)" : e.what();
    } catch (const CLI::ParseError &e) {
        error = e.what();
    }
    if (help->count() > 0 || version->count() > 0) {
        options.request = help->count() > 0 ? SimRequest::Help : SimRequest::Version;
        error.clear();
        return true;
    }
    if (!error.empty()) return false;
    if (!app.remaining().empty()) {
        error = "unknown option '" + app.remaining().front() + "' (see --help)";
        return false;
    }
    return CheckCombination(options, error);
}

std::string SimUsageText()
{
    std::string text = Usage;
    const std::string marker = "(default \"\")";
    const auto at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), std::string("(default \"") + DefaultVersionText + "\")");
    return text;
}
