// How long a device selection waits for its configuration names: reading and
// parsing one part's assembler header, cold, for every catalogue part that
// has one, and the cached look-up that every later selection costs.
//
//   config-bits-bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "configbits/ConfigBits.h"

namespace {
using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Read and parse without the cache, as the first selection of a part does.
double ColdParse(const std::string &path)
{
    auto start = Clock::now();
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto layout = ParseConfigHeader(text);
    double ms = Millis(Clock::now() - start);
    if (!layout) std::printf("  %s: no options\n", path.c_str());
    return ms;
}
} // namespace

int main()
{
    auto folders = ConfigHeaderFolders();
    double worst = 0, total = 0;
    std::string worstPart;
    int parts = 0;
    auto measure = [&](const char *name) {
        std::string path = FindConfigHeader(name, folders);
        if (path.empty()) {
            std::printf("%-12s no header\n", name);
            return;
        }
        double best = 1e9; // the best of five runs, so that a busy machine does not count
        for (int i = 0; i < 5; ++i)
            best = std::min(best, ColdParse(path));
        total += best;
        ++parts;
        if (best > worst) worst = best, worstPart = name;
    };
    for (int i = 1; i < DeviceTableSize; ++i)
        measure(DeviceTable[i].Name);
    for (int i = 1; i < DeviceTable18Size; ++i)
        measure(DeviceTable18[i].Name);
    std::printf("cold read+parse: %d headers, mean %.3f ms, worst %.3f ms (%s)\n", parts, total / parts,
                worst, worstPart.c_str());

    // The largest header of the installed package, whether or not the catalogue has its part.
    std::string largest;
    std::error_code ec;
    for (const std::string &folder : folders)
        for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
            if (largest.empty() || entry.file_size() > std::filesystem::file_size(largest))
                largest = entry.path().string();
    if (!largest.empty()) {
        double best = 1e9;
        for (int i = 0; i < 5; ++i)
            best = std::min(best, ColdParse(largest));
        std::printf("largest header %s (%ju bytes): %.3f ms\n", largest.c_str(),
                    std::uintmax_t(std::filesystem::file_size(largest)), best);
    }

    ConfigLayoutFor("PIC18F4550", true);
    auto start = Clock::now();
    for (int i = 0; i < 1000; ++i)
        ConfigLayoutFor("PIC18F4550", true);
    std::printf("cached look-up: %.4f ms\n", Millis(Clock::now() - start) / 1000);
}
