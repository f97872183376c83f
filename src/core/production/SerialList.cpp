#include "production/SerialList.h"

#include <cerrno>
#include <map>
#include <sstream>

#include "production/SerialNumber.h"
#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "support/textutil.h"

bool ParseSerialList(const std::string &text, std::vector<uint64_t> &numbers, std::string &error)
{
    std::vector<uint64_t> list;
    std::map<uint64_t, int> seen; // number -> its line
    std::istringstream in(text);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        line = TrimBlanks(line);
        if (!line.empty() && line.back() == '\r') line = TrimBlanks(line.substr(0, line.size() - 1));
        if (line.empty() || line[0] == '#') continue;
        uint64_t n = 0;
        if (!ParseNumber(line, n)) {
            error = "line " + std::to_string(lineNo) + " is no number (decimal or 0x-hexadecimal): '" + line + "'";
            return false;
        }
        if (const auto [at, fresh] = seen.emplace(n, lineNo); !fresh) {
            error = "line " + std::to_string(lineNo) + " repeats " + line + " of line " +
                    std::to_string(at->second) + ": a number goes to one chip only";
            return false;
        }
        list.push_back(n);
    }
    if (list.empty()) {
        error = "it holds no number";
        return false;
    }
    numbers = std::move(list);
    return true;
}

bool ReadSerialList(const std::string &path, std::vector<uint64_t> &numbers, std::string &error)
{
    std::string text;
    if (const int failed = ReadRegularFile(path, 64u << 20, text)) {
        error = path + ": " + (failed == EFBIG ? std::string("too large for a serial list") : FileErrorReason(failed));
        return false;
    }
    if (!ParseSerialList(text, numbers, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
