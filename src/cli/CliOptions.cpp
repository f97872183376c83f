#include "CliOptions.h"

#include <cctype>

namespace {

struct CommandName {
    const char *name;
    CliCommand command;
    bool takesFile;
};

constexpr CommandName Commands[] = {
    {"ports", CliCommand::Ports, false},     {"version", CliCommand::Version, false},
    {"devices", CliCommand::Devices, false}, {"identify", CliCommand::Identify, false},
    {"read", CliCommand::Read, true},        {"program", CliCommand::Program, true},
    {"verify", CliCommand::Verify, true},    {"erase", CliCommand::Erase, false},
    {"blank", CliCommand::Blank, false},     {"dump", CliCommand::Dump, true},
};

bool IsFourHexDigits(const std::string &text)
{
    if (text.size() != 4) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CliOptions &options, std::string &error)
{
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" is the same as "--name value".
        std::string inlineValue;
        bool hasInline = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
                hasInline = true;
            }
        }
        auto value = [&](std::string &into) {
            if (hasInline) {
                into = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        auto flag = [&](bool &into, bool on) {
            if (hasInline) {
                error = arg + " takes no value";
                return false;
            }
            into = on;
            return true;
        };
        bool ok = true;
        if (arg == "-h" || arg == "--help") {
            options.command = CliCommand::Help;
            return true;
        } else if (arg == "-p" || arg == "--port") {
            ok = value(options.port);
        } else if (arg == "-d" || arg == "--device") {
            ok = value(options.device);
        } else if (arg == "--settings") {
            ok = value(options.settings);
        } else if (arg == "--auto-select") {
            ok = flag(options.autoSelect, true);
        } else if (arg == "--erase") {
            ok = flag(options.erase, true);
        } else if (arg == "--no-verify") {
            ok = flag(options.verify, false);
        } else if (arg == "--small-block") {
            ok = flag(options.smallBlock, true);
        } else if (arg == "--verify-user-id") {
            ok = flag(options.verifyUserId, true);
        } else if (arg == "--save-all") {
            ok = flag(options.saveAll, true);
        } else if (arg == "--cal1" || arg == "--cal2") {
            std::string &into = arg == "--cal1" ? options.cal1 : options.cal2;
            ok = value(into);
            if (ok && !IsFourHexDigits(into)) {
                error = arg + " needs four hexadecimal digits, not '" + into + "'";
                return false;
            }
        } else if (arg == "-q" || arg == "--quiet") {
            options.verbosity = Verbosity::Quiet;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbosity = Verbosity::Verbose;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!ok) return false;
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
    const size_t wanted = found->takesFile ? 2 : 1;
    if (operands.size() != wanted) {
        error = std::string(found->name) +
                (found->takesFile ? " needs exactly one FILE.hex" : " takes no argument");
        return false;
    }
    options.command = found->command;
    if (found->takesFile) options.file = operands[1];

    // Options that only mean something to one command are refused elsewhere
    // rather than silently ignored: a script that believes it replaced the
    // calibration words must not pass.
    if ((!options.cal1.empty() || !options.cal2.empty()) && options.command != CliCommand::Erase) {
        error = "--cal1 and --cal2 belong to the erase command";
        return false;
    }
    if ((options.erase || !options.verify) && options.command != CliCommand::Program) {
        error = "--erase and --no-verify belong to the program command";
        return false;
    }
    return true;
}

const char *UsageText()
{
    return "Usage: tarnvik-cli [OPTIONS] COMMAND [FILE.hex]\n"
           "Drives the Tarnbox PIC programmer from the command line with the window's own core.\n"
           "\n"
           "Commands:\n"
           "  ports             probe COM1 ... COM10 like the window's Search and show each port's state\n"
           "  version           the programmer's firmware version\n"
           "  devices           list the catalogue (both families), with sizes and DEVICE-ID\n"
           "  identify          read the DEVICE-ID and name the catalogue entries it matches\n"
           "  read FILE.hex     check, read the chip, save the buffer as FILE.hex\n"
           "  program FILE.hex  load FILE.hex, check, program, verify\n"
           "  verify FILE.hex   load FILE.hex, check, verify\n"
           "  erase             check, erase, blank check\n"
           "  blank             check, blank check\n"
           "  dump FILE.hex     load FILE.hex and print the three dumps as the window shows them\n"
           "\n"
           "Options:\n"
           "  -p, --port NAME|PATH  COM1 ... COM10 (mapped through the settings file's [ports])\n"
           "                        or a device path; default: the settings file's fixed port,\n"
           "                        else the first port where the programmer answers\n"
           "  -d, --device NAME     catalogue name, case ignored; default: the settings file's device\n"
           "  --auto-select         the device named in the HEX file is chosen (read on load)\n"
           "  --erase               program: erase and blank-check first, stop when not blank\n"
           "  --no-verify           program: skip the verify\n"
           "  --small-block         read in small blocks\n"
           "  --verify-user-id      verify and blank check include the User-ID\n"
           "  --save-all            read: write blank records too\n"
           "  --cal1 XXXX, --cal2 XXXX\n"
           "                        erase: replace the calibration words with these values\n"
           "  --settings FILE       the settings file to use (default: the window's)\n"
           "  -q, --quiet           print only the result and the final status line\n"
           "  -v, --verbose         also print every status text and the port being opened\n"
           "  -h, --help            show this text\n"
           "\n"
           "Output: the window's log lines, then its final status line, in UTF-8 on stdout;\n"
           "a progress bar on stderr when stderr is a terminal.\n"
           "\n"
           "Exit status: 0 success; 1 the result is negative (mismatch, not blank, link failure);\n"
           "2 refused by the connection and device check, or bad usage; 3 a file could not be\n"
           "read or written.\n";
}
