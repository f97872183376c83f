// tarnvik-cli run as a separate process for the command-line tests: its
// exit status and output, the --json object it wrote, and the image a file
// gives a part as the core's own reader loads it.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "cli_files.h"
#include "image/buffer.h"
#include "image/hex_load.h"

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string LastLine() const
    {
        const auto lines = Lines();
        return lines.empty() ? std::string() : lines.back();
    }
    bool Says(const std::string &text) const { return out.find(text) != std::string::npos; }
};

// Runs tarnvik-cli with a settings file of the test's own, so that nothing
// of the machine's settings (its ports, its saved device) leaks in.
// whileRunning, when given, is called with the program's process id while it runs.
inline CliResult RunCli(std::vector<std::string> args, const std::string &settingsText = "",
                        const std::function<void(pid_t)> &whileRunning = {},
                        const std::string &input = "/dev/null")
{
    const std::string settings = Temp("settings.ini");
    std::ofstream(settings, std::ios::trunc) << settingsText;
    const std::string outPath = Temp("stdout"), errPath = Temp("stderr");
    args.insert(args.begin(), {"--settings", settings});
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open(input.c_str(), O_RDONLY);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        ExecCli(std::move(args));
    }
    CliResult result;
    int status = 0;
    if (whileRunning) whileRunning(pid);
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

// stdout of a --json run as one JSON value: null (and a failure) when it is
// not exactly one valid object.
inline nlohmann::json Parsed(const CliResult &r)
{
    try {
        nlohmann::json value = nlohmann::json::parse(r.out);
        if (value.is_object()) return value;
    } catch (const nlohmann::json::exception &e) {
        ADD_FAILURE() << e.what();
    }
    ADD_FAILURE() << "no JSON object: " << r.out;
    return nullptr;
}

// The image a file gives a device, loaded by the core's own reader.
inline MemoryBuffer Image(const std::string &path, bool pic18, int index)
{
    MemoryBuffer buffer;
    LoadOutcome outcome;
    outcome.Device = {pic18, index};
    if (pic18)
        buffer.Clear(DeviceTable18[static_cast<size_t>(index)]);
    else
        buffer.Clear(DeviceTable[static_cast<size_t>(index)]);
    LoadNewFile(path, buffer, false, outcome);
    return buffer;
}
