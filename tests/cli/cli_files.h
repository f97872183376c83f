// Files the command-line tests hand to tarnvik-cli and read back, all in the
// test program's own temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string Temp(const std::string &name)
{
    return testing::TempDir() + name;
}

inline std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The bytes the host sent, as a wire trace of tarnbox-sim lists them.
inline size_t HostBytesInTrace(const std::string &path)
{
    std::istringstream in(ReadText(path));
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(" > ") != std::string::npos;
    return n;
}

// In a forked child whose standard streams are in place: becomes tarnvik-cli
// with these arguments (exit 127 when it cannot be started). The machine's
// own serial devices stay out of its sight unless the test has pointed /dev
// and sysfs at a prepared tree.
[[noreturn]] inline void ExecCli(std::vector<std::string> args)
{
    setenv("TARNVIK_DEV_ROOT", "/nonexistent", 0);
    setenv("TARNVIK_SYSFS_ROOT", "/nonexistent", 0);
    std::vector<char *> argv{const_cast<char *>(TARNVIK_CLI_PROGRAM)};
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(TARNVIK_CLI_PROGRAM, argv.data());
    _exit(127);
}

// The bytes the host sent, in order, from a wire trace.
inline std::vector<unsigned char> HostByteValues(const std::string &path)
{
    std::istringstream in(ReadText(path));
    std::vector<unsigned char> bytes;
    for (std::string line; std::getline(in, line);)
        if (const size_t at = line.find(" > "); at != std::string::npos)
            bytes.push_back(static_cast<unsigned char>(std::stoul(line.substr(at + 3), nullptr, 16)));
    return bytes;
}
