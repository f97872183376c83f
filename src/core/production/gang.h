// Production runs: one command on several programmers at once (a gang), one
// thread per port, and the same command chip after chip. Everything a port
// touches (its SerialPort, TCommand, buffer copy and FrontEnd) belongs to
// its own thread; the threads share only what is given to them read-only
// and what the caller guards, so a port that hangs or fails never holds up
// another.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Runs job(i) for i = 0 ... ports - 1, each on a thread of its own, and
// returns when every one has ended: the statuses in port order. A job that
// throws ends with failureStatus; the others go on.
std::vector<int> RunGang(size_t ports, const std::function<int(size_t)> &job, int failureStatus);
// The status a run ends with: the worst (highest) of its ports'.
int WorstStatus(const std::vector<int> &statuses);

// One port's result of one round, as the end-of-round table shows it.
struct PortResult {
    std::string port;
    std::string deviceId; // as read, revision included; empty when not read
    std::string serial;   // the chip's serial number; empty when none
    std::string result;   // ok, verify failed, refused, link lost, ...
    long elapsedMs = 0;
    int status = 0;
    std::string linkError; // link lost: silent, echo or checksum
};
// The table: a header line, then one line per port, columns aligned; a
// serial column when any port has a number.
std::vector<std::string> ResultTable(const std::vector<PortResult> &results);

enum class NextRound { Again, Stop, Unclear };
// The answer after a round: one line read from fd. An empty line (blanks
// ignored) goes on; "q" (blanks and letter case ignored) or the end of input
// stops; any other line is Unclear, for the caller to ask again, and so is a
// line longer than NextRoundLineMax, which is read to its end without being
// kept. Input that brings no line end within NextRoundInputMax bytes (a
// device such as /dev/zero) is no answer at all and stops. stop is asked
// about ten times a second while waiting; true ends the wait with Stop (an
// interrupt). Reads byte by byte so that nothing after the line is taken
// from a pipe.
NextRound WaitForNextRound(int fd, const std::function<bool()> &stop);
constexpr size_t NextRoundLineMax = 256;
constexpr size_t NextRoundInputMax = 64 * 1024;

// Chips passed and failed over all rounds, per port.
class RunTotals {
public:
    explicit RunTotals(std::vector<std::string> ports);
    void Add(size_t port, bool passed);
    int Passed() const;
    int Failed() const;
    // "passed 7, failed 1", then one such line per port.
    std::vector<std::string> Lines() const;

private:
    std::vector<std::string> ports_;
    std::vector<int> passed_, failed_;
};
