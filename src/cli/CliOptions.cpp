#include "CliOptions.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <tuple>

#include "operations/regions.h"
#include "production/ChipHook.h"
#include "support/FileErrorText.h"
#include "support/textutil.h"
#include "support/checked_file.h"

namespace {

enum FileOperand { NoFile, OneFile, OptionalFile, TwoSources };

struct CommandName {
    const char *name;
    CliCommand command;
    FileOperand file;
};

constexpr CommandName Commands[] = {
    {"ports", CliCommand::Ports, NoFile},         {"version", CliCommand::Version, NoFile},
    {"devices", CliCommand::Devices, NoFile},     {"identify", CliCommand::Identify, NoFile},
    {"read", CliCommand::Read, OneFile},          {"program", CliCommand::Program, OneFile},
    {"verify", CliCommand::Verify, OneFile},      {"erase", CliCommand::Erase, NoFile},
    {"blank", CliCommand::Blank, NoFile},         {"dump", CliCommand::Dump, OneFile},
    {"config", CliCommand::Config, OptionalFile}, {"kept", CliCommand::Kept, NoFile},
    {"compare", CliCommand::Compare, TwoSources},
};

// A calibration word as the erase command writes it: four hex digits.
std::string FourHexDigits(const std::string &text)
{
    bool ok = text.size() == 4;
    for (char c : text)
        ok = ok && std::isxdigit(static_cast<unsigned char>(c));
    return ok ? std::string() : "needs four hexadecimal digits, not '" + text + "'";
}

// The serial-number options whose text is parsed after CLI11.
struct SerialTexts {
    std::string start, at, format;
    std::string onPass, onFail; // the hooks' command lines
};

// Every option of the command line and the field it fills. The help text
// in UsageText() lists the same options for the user.

void AddOptions(CLI::App &app, CliOptions &options, bool &help, bool &version, CLI::Option *&quiet,
                CLI::Option *&verbose, SerialTexts &serial)
{
    app.add_option("--serial", serial.start);
    app.add_option("--serial-at", serial.at);
    app.add_option("--serial-format", serial.format);
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    // -p collects every port given: several make a gang.
    app.add_option("-p,--port", options.ports)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("-d,--device", options.device);
    // Looked at without opening: a FIFO or a folder named here is bad usage
    // rather than a run on the defaults.
    app.add_option("--settings", options.settings)->check([](const std::string &path) {
        const int error = CheckRegularFile(path);
        return error == 0 ? std::string() : path + ": " + FileErrorReason(error);
    });
    app.add_flag("--auto-select", options.autoSelect);
    app.add_flag("--erase", options.erase);
    app.add_flag_callback("--no-verify", [&options] { options.verify = false; });
    app.add_flag("--skip-identical", options.skipIdentical);
    app.add_flag("--small-block", options.smallBlock);
    app.add_flag("--verify-user-id", options.verifyUserId);
    app.add_flag("--save-all", options.saveAll);
    app.add_option("--cal1", options.cal1)->check(FourHexDigits);
    app.add_option("--cal2", options.cal2)->check(FourHexDigits);
    app.add_flag("--keep-erased-calibration", options.keepErasedCalibration);
    app.add_flag("--no-calibration-log", options.noCalibrationLog);
    // Every --config counts, in order: a later one overrides an earlier field.
    app.add_option("--config", options.configSettings)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--keep-config", options.keepConfig);
    app.add_flag("--keep-eeprom", options.keepEeprom);
    app.add_option("--only")->check([&options](const std::string &text) {
        const auto regions = ParseRegions(text);
        if (!regions) return "takes code, eeprom, id and config, separated by commas, not '" + text + "'";
        options.regions = *regions;
        return std::string();
    });
    app.add_flag("--json", options.json);
    app.add_option("--trace", options.trace);
    app.add_flag("--names", options.names);
    // -q and -v both set the verbosity: the one given last counts, which
    // the parse order tells after parsing.
    app.add_flag("--repeat", options.repeat);
    app.add_flag("--fast-cycle", options.fastCycle);
    app.add_option("--log", options.log);
    app.add_option("--serial-state", options.serialState);
    app.add_option("--serial-list", options.serialList);
    app.add_option("--on-pass", serial.onPass);
    app.add_option("--on-fail", serial.onFail);
    app.add_option("--hook-timeout", options.hookSeconds)->check(CLI::Range(1, 3600));
    app.add_flag("--serial-overwrite", options.serialLayout.overwrite);
    app.add_option("--serial-bytes", options.serialLayout.bytes)->check(CLI::Range(1, 8));
    quiet = app.add_flag("-q,--quiet");
    verbose = app.add_flag("-v,--verbose");
}

bool Given(const CLI::App &app, const char *name)
{
    return app.get_option(name)->count() > 0;
}

// The gang, the hooks, --repeat and the log: which commands they go with.
bool ParseGangOptions(const CLI::App &app, const SerialTexts &serial, CliOptions &options, std::string &error)
{
    const CliCommand c = options.command;
    const bool chipCommand = c == CliCommand::Program || c == CliCommand::Verify || c == CliCommand::Erase ||
                             c == CliCommand::Blank || c == CliCommand::Identify;
    for (const std::string &port : options.ports)
        if (port.empty()) {
            // An empty name would quietly probe every port instead.
            error = "-p needs a port name or a device path";
            return false;
        }
    for (size_t i = 0; i < options.ports.size(); ++i)
        for (size_t k = 0; k < i; ++k)
            if (options.ports[i] == options.ports[k]) {
                error = "port " + options.ports[i] + " is given twice";
                return false;
            }
    if (options.ports.size() > 1 && Given(app, "--trace")) {
        // The boards' bytes would be interleaved in one file.
        error = "--trace goes with one port, not with a gang";
        return false;
    }
    if (options.ports.size() > 1 && !chipCommand) {
        error = "several ports (-p) go with program, verify, erase, blank and identify";
        return false;
    }
    for (auto [text, words, name] : {std::tuple{&serial.onPass, &options.onPass, "--on-pass"},
                                     std::tuple{&serial.onFail, &options.onFail, "--on-fail"}}) {
        if (!Given(app, name)) continue;
        std::string why;
        if (!SplitCommandWords(*text, *words, why)) {
            error = std::string(name) + ": " + why;
            return false;
        }
    }
    if ((!options.onPass.empty() || !options.onFail.empty()) && !chipCommand) {
        error = "--on-pass and --on-fail go with program, verify, erase, blank and identify";
        return false;
    }
    if ((options.repeat || !options.log.empty()) && !chipCommand) {
        error = "--repeat and --log go with program, verify, erase, blank and identify";
        return false;
    }
    return true;
}

// Serial numbers: the command they go with, where they come from and where
// they are placed.
bool ParseSerialOptions(const CLI::App &app, const SerialTexts &serial, CliOptions &options, std::string &error)
{
    const CliCommand c = options.command;
    const bool anySerial = Given(app, "--serial") || Given(app, "--serial-at") ||
                           Given(app, "--serial-format") || Given(app, "--serial-bytes") ||
                           Given(app, "--serial-state") || Given(app, "--serial-list") ||
                           options.serialLayout.overwrite;
    if (!anySerial) return true;
    if (c != CliCommand::Program) {
        error = "serial numbers (--serial...) go with the program command";
        return false;
    }
    if (!options.verify) {
        error = "serial numbers are only used up by chips that verify: --no-verify cannot go with them";
        return false;
    }
    if (!serial.start.empty() && !options.serialList.empty()) {
        error = "--serial counts numbers and --serial-list takes them from a file: give one of them";
        return false;
    }
    if (serial.start.empty() && options.serialState.empty() && options.serialList.empty()) {
        error = "serial numbers need --serial START[:STEP], --serial-list FILE or --serial-state FILE";
        return false;
    }
    // A list starts at its first number.
    if (!options.serialList.empty()) options.serialStartGiven = true;
    if (!serial.start.empty()) {
        if (!ParseSerialStart(serial.start, options.serialStart, options.serialStep)) {
            error = "--serial needs START or START:STEP (decimal or 0x-hexadecimal, STEP at least 1), not '" +
                    serial.start + "'";
            return false;
        }
        options.serialStartGiven = true;
    }
    uint64_t at = 0;
    if (serial.at.empty()) {
        error = "serial numbers need --serial-at ADDR";
        return false;
    }
    if (!ParseNumber(serial.at, at) || at > 0xFFFFFFFF) {
        error = "--serial-at needs an address (decimal or 0x-hexadecimal), not '" + serial.at + "'";
        return false;
    }
    options.serialLayout.address = static_cast<uint32_t>(at);
    if (!serial.format.empty()) {
        const auto format = ParseSerialFormat(serial.format);
        if (!format) {
            error = "--serial-format is retlw, word, eeprom or ascii, not '" + serial.format + "'";
            return false;
        }
        options.serialLayout.format = *format;
    }
    options.serial = true;
    return true;
}

// The gang, --repeat, serial numbers and the log: which commands they go
// with and what they need.
bool ParseProductionOptions(const CLI::App &app, const SerialTexts &serial, CliOptions &options,
                            std::string &error)
{
    return ParseGangOptions(app, serial, options, error) && ParseSerialOptions(app, serial, options, error);
}

// What the chip's configuration and memories get: --config, --keep-config,
// --only, --keep-eeprom.
bool RefuseMisplacedMemoryOptions(CliOptions &options, std::string &error)
{
    if (options.command == CliCommand::Devices && !options.configSettings.empty()) {
        // devices --config DEV names a part, not settings.
        if (options.configSettings.size() != 1) {
            error = "devices --config takes one device name";
            return false;
        }
        options.configDevice = options.configSettings.front();
        options.configSettings.clear();
    } else if (!options.configSettings.empty() && options.command != CliCommand::Program &&
               options.command != CliCommand::Verify) {
        error = "--config belongs to the program and verify commands (and devices --config DEV)";
        return false;
    }
    if (options.keepConfig && options.command != CliCommand::Program) {
        error = "--keep-config belongs to the program command";
        return false;
    }
    if (options.keepConfig && !options.configSettings.empty()) {
        error = "--keep-config and --config both say what the configuration becomes: give one";
        return false;
    }
    if (options.regions != RegionAll && options.command != CliCommand::Program &&
        options.command != CliCommand::Verify && options.command != CliCommand::Read) {
        error = "--only belongs to the program, verify and read commands";
        return false;
    }
    if (options.keepEeprom && !(options.command == CliCommand::Program && options.erase)) {
        error = "--keep-eeprom belongs to program --erase";
        return false;
    }
    if (options.keepEeprom && options.regions != RegionAll && (options.regions & RegionEEData)) {
        error = "--keep-eeprom and --only eeprom both say what the EEPROM gets: give one";
        return false;
    }
    return true;
}

// --skip-identical outside program; compare: at most one chip (the socket
// holds one), and -d auto only with it.
bool RefuseMisplacedCompareOptions(const CliOptions &options, std::string &error)
{
    if (options.skipIdentical && options.command != CliCommand::Program) {
        error = "--skip-identical belongs to the program command";
        return false;
    }
    if (options.command != CliCommand::Compare) return true;
    const bool chipA = options.file == ChipSource, chipB = options.compareWith == ChipSource;
    if (chipA && chipB) {
        error = "compare takes at most one chip (a file named chip is ./chip)";
        return false;
    }
    if (SameTextIgnoringCase(options.device, "auto") && !chipA && !chipB) {
        error = "-d auto goes with compare only when one side is the chip";
        return false;
    }
    return true;
}

// Options that only mean something to one command are refused rather than
// silently ignored: a script that believes it replaced the calibration
// words must not pass. -d auto is taken apart here too.
bool RefuseMisplacedOptions(const CLI::App &app, CliOptions &options, std::string &error)
{
    if ((!options.cal1.empty() || !options.cal2.empty()) && options.command != CliCommand::Erase) {
        error = "--cal1 and --cal2 belong to the erase command";
        return false;
    }
    if (options.keepErasedCalibration && !(options.command == CliCommand::Erase ||
                                           (options.command == CliCommand::Program && options.erase))) {
        error = "--keep-erased-calibration belongs to erase and program --erase";
        return false;
    }
    if (options.noCalibrationLog && !(options.command == CliCommand::Erase ||
                                      (options.command == CliCommand::Program && options.erase))) {
        error = "--no-calibration-log belongs to erase and program --erase";
        return false;
    }
    if (SameTextIgnoringCase(options.device, "auto")) {
        // Only a command that reads the chip can ask it what it is.
        const CliCommand c = options.command;
        if (!(c == CliCommand::Read || c == CliCommand::Program || c == CliCommand::Verify ||
              c == CliCommand::Erase || c == CliCommand::Blank || c == CliCommand::Compare ||
              (c == CliCommand::Config && options.file.empty()))) {
            error = "-d auto goes with read, program, verify, erase, blank and config without a file";
            return false;
        }
        options.device.clear();
        options.autoDevice = true;
    }
    if ((options.erase || !options.verify) && options.command != CliCommand::Program) {
        error = "--erase and --no-verify belong to the program command";
        return false;
    }
    if (!RefuseMisplacedMemoryOptions(options, error)) return false;
    if (options.names && options.command != CliCommand::Devices) {
        error = "--names belongs to the devices command";
        return false;
    }
    if (options.json && options.command == CliCommand::Read && options.file == "-") {
        error = "--json and read - both want standard output";
        return false;
    }
    if (Given(app, "--trace") && options.trace.empty()) {
        error = "--trace needs a file name";
        return false;
    }
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CliOptions &options, std::string &error)
{
    CLI::App app{"tarnvik-cli", "tarnvik-cli"};
    app.set_help_flag();
    // A repeated option counts with its last value, as a script that appends
    // to a command line from a Makefile expects.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool help = false, version = false;
    CLI::Option *quiet = nullptr, *verbose = nullptr;
    SerialTexts serial;
    AddOptions(app, options, help, version, quiet, verbose, serial);
    std::vector<std::string> operands;
    app.add_option("operands", operands);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    bool parsed = true;
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError &e) {
        error = e.what();
        parsed = false;
    }
    // Help and version answer whatever else the line holds.
    if (help || version) {
        options.command = help ? CliCommand::Help : CliCommand::ProgramVersion;
        return true;
    }
    if (!parsed) return false;
    for (const CLI::Option *o : app.parse_order()) {
        if (o == quiet) options.verbosity = Verbosity::Quiet;
        if (o == verbose) options.verbosity = Verbosity::Verbose;
    }

    if (operands.empty()) {
        error = "no command given";
        return false;
    }
    const CommandName *found = nullptr;
    for (const CommandName &c : Commands)
        if (operands[0] == c.name) found = &c;
    if (!found) {
        error = "unknown command '" + operands[0] + "'";
        return false;
    }
    // Known from here on, for the --json object of a refusal.
    options.command = found->command;
    const bool fileCountOk = found->file == NoFile       ? operands.size() == 1
                             : found->file == OneFile    ? operands.size() == 2
                             : found->file == TwoSources ? operands.size() == 3
                                                         : operands.size() <= 2;
    if (!fileCountOk) {
        error = std::string(found->name) + (found->file == NoFile       ? " takes no argument"
                                            : found->file == OneFile    ? " needs exactly one FILE.hex"
                                            : found->file == TwoSources ? " needs two of FILE.hex and chip"
                                                                        : " takes at most one FILE.hex");
        return false;
    }
    if (operands.size() >= 2) options.file = operands[1];
    if (operands.size() == 3) options.compareWith = operands[2];
    if (!RefuseMisplacedCompareOptions(options, error)) return false;

    if (!RefuseMisplacedOptions(app, options, error)) return false;
    if (!options.ports.empty()) options.port = options.ports.back();
    if (!ParseProductionOptions(app, serial, options, error)) return false;
    // Each chip of a production run gets the image as asked; one left as
    // it was would also leave its serial number and log row in doubt.
    if (options.skipIdentical && options.Production()) {
        error = "--skip-identical goes with single runs, not with production runs";
        return false;
    }
    // A production run reports chip by chip in its table and log.
    if (options.json && options.Production()) {
        error = "--json goes with single runs, not with production runs";
        return false;
    }
    // A production run loads the file for its device once, before any chip.
    if (options.autoDevice && options.Production()) {
        error = "-d auto goes with single runs, not with production runs";
        return false;
    }
    return true;
}
bool AsksForJson(const std::vector<std::string> &args)
{
    for (const std::string &arg : args) {
        if (arg == "--") return false;
        if (arg == "--json") return true;
    }
    return false;
}
