// Files the command-line tests hand to tarnvik-cli and read back, all in the
// test program's own temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

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
