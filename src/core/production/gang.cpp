#include "production/gang.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <numeric>
#include <thread>

#include "support/textutil.h"

std::vector<int> RunGang(size_t ports, const std::function<int(size_t)> &job, int failureStatus)
{
    std::vector<int> statuses(ports, failureStatus);
    std::vector<std::thread> threads;
    threads.reserve(ports);
    for (size_t i = 0; i < ports; ++i)
        threads.emplace_back([&, i] {
            try {
                statuses[i] = job(i);
            } catch (...) {
                statuses[i] = failureStatus;
            }
        });
    for (std::thread &t : threads)
        t.join();
    return statuses;
}

int WorstStatus(const std::vector<int> &statuses)
{
    return statuses.empty() ? 0 : *std::max_element(statuses.begin(), statuses.end());
}

std::vector<std::string> ResultTable(const std::vector<PortResult> &results)
{
    // A lost link says how it was lost: a wrong echo or checksum points at
    // the cable, silence at the board.
    auto result = [](const PortResult &r) {
        return r.linkError.empty() ? r.result : r.result + " (" + r.linkError + ")";
    };
    size_t portWidth = 4, idWidth = 9, serialWidth = 0, resultWidth = 6;
    for (const PortResult &r : results) {
        portWidth = std::max(portWidth, r.port.size());
        idWidth = std::max(idWidth, r.deviceId.size());
        if (!r.serial.empty()) serialWidth = std::max<size_t>({serialWidth, 6, r.serial.size()});
        resultWidth = std::max(resultWidth, result(r).size());
    }
    auto pad = [](const std::string &s, size_t width) {
        return s + std::string(width > s.size() ? width - s.size() : 0, ' ');
    };
    auto serial = [&](const std::string &s) {
        return serialWidth ? pad(s, serialWidth) + "  " : std::string();
    };
    std::vector<std::string> lines;
    lines.push_back(pad("port", portWidth) + "  " + pad("DEVICE-ID", idWidth) + "  " + serial("serial") +
                    pad("result", resultWidth) + "  time");
    for (const PortResult &r : results) {
        char time[32];
        std::snprintf(time, sizeof time, "%ld.%01ld s", r.elapsedMs / 1000, r.elapsedMs % 1000 / 100);
        lines.push_back(pad(r.port, portWidth) + "  " + pad(r.deviceId.empty() ? "-" : r.deviceId, idWidth) +
                        "  " + serial(r.serial.empty() ? "-" : r.serial) + pad(result(r), resultWidth) +
                        "  " + time);
    }
    return lines;
}

NextRound WaitForNextRound(int fd, const std::function<bool()> &stop)
{
    std::string line;
    size_t length = 0; // the line's bytes so far, kept or not
    for (;;) {
        if (stop && stop()) return NextRound::Stop;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) return NextRound::Stop;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return NextRound::Stop;
        if (c != '\n') {
            if (++length > NextRoundInputMax) return NextRound::Stop;
            if (length <= NextRoundLineMax) line += c;
            continue;
        }
        if (length > NextRoundLineMax) return NextRound::Unclear;
        const std::string answer = TrimBlanks(line);
        if (answer.empty()) return NextRound::Again;
        return SameTextIgnoringCase(answer, "q") ? NextRound::Stop : NextRound::Unclear;
    }
}

RunTotals::RunTotals(std::vector<std::string> ports)
    : ports_(std::move(ports)), passed_(ports_.size()), failed_(ports_.size())
{
}

void RunTotals::Add(size_t port, bool passed)
{
    ++(passed ? passed_ : failed_)[port];
}

int RunTotals::Passed() const
{
    return std::accumulate(passed_.begin(), passed_.end(), 0);
}

int RunTotals::Failed() const
{
    return std::accumulate(failed_.begin(), failed_.end(), 0);
}

std::vector<std::string> RunTotals::Lines() const
{
    std::vector<std::string> lines;
    lines.push_back("passed " + std::to_string(Passed()) + ", failed " + std::to_string(Failed()));
    for (size_t i = 0; i < ports_.size(); ++i)
        lines.push_back("  " + ports_[i] + ": passed " + std::to_string(passed_[i]) + ", failed " +
                        std::to_string(failed_[i]));
    return lines;
}
