// A command the user has run after each chip of a production run (a label
// printer, a beep, an upload to a tracking system), with the chip's facts in
// its environment. It runs without a shell unless the user writes one, under
// a time limit, and what it prints is kept for the run's log.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The command's words: blanks separate them, '...' and "..." keep blanks
// (a backslash escapes the next character outside '...'); nothing is
// expanded. False with the reason for an unclosed quote or no word.
bool SplitCommandWords(const std::string &text, std::vector<std::string> &words, std::string &error);

struct HookRun {
    bool started = false;  // the program was found and run
    int exitCode = -1;     // its exit status when it exited
    int signal = 0;        // the signal that ended it, when one did
    bool timedOut = false; // killed at the time limit
    std::string output;    // what it wrote to stdout and stderr (the first 64 KiB)
    std::string error;     // why it could not be started
    bool Ok() const { return started && !timedOut && signal == 0 && exitCode == 0; }
};

// Runs words[0] (looked up in PATH) with the rest as arguments, the variables
// added to this process's environment, standard input from /dev/null, and
// kills it (with anything it started in its process group) after timeoutMs.
HookRun RunHook(const std::vector<std::string> &words, const std::vector<std::pair<std::string, std::string>> &env,
                int timeoutMs);
// What went wrong, for the run's error line; empty when it went well.
std::string HookFailure(const HookRun &run);
