#include "production/SerialState.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "support/FileErrorText.h"
#include "production/SerialNumber.h"
#include "support/atomic_file.h"
#include "support/checked_file.h"
#include "support/textutil.h"

namespace {

// An exclusive lock on the lock file for as long as it lives.
class FileLock {
public:
    explicit FileLock(const std::string &path)
    {
        int failed = 0;
        fd_ = OpenRegularFile(path, O_RDWR | O_CREAT, failed);
        if (fd_ < 0) {
            error_ = path + ": " + FileErrorReason(failed);
            return;
        }
        while (flock(fd_, LOCK_EX) != 0)
            if (errno != EINTR) {
                error_ = path + ": " + FileErrorReason(errno);
                ::close(fd_);
                fd_ = -1;
                return;
            }
    }
    ~FileLock()
    {
        if (fd_ >= 0) ::close(fd_); // closing drops the lock
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    const std::string &Error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// The file's text; false when it cannot be read. A missing file is no error:
// exists tells.
bool ReadWhole(const std::string &path, std::string &text, bool &exists, std::string &error)
{
    // A state file is a few lines; anything this long is something else.
    const int failed = ReadRegularFile(path, 1u << 20, text);
    exists = failed != ENOENT;
    if (failed == 0 || failed == ENOENT) return true;
    error = path + ": " +
            (failed == EFBIG ? std::string("not a serial-number state file") : FileErrorReason(failed));
    return false;
}

// The state file is replaced whole: a crash or a full disk leaves the old
// numbers or the new ones, never a part.
bool Replace(const std::string &path, const std::string &text, std::string &error)
{
    const int failed = WriteFileAtomically(path, text);
    if (failed) error = path + ": " + FileErrorReason(failed);
    return failed == 0;
}

} // namespace

std::string SerialStockText(const SerialStock &stock)
{
    std::string text = "# Tarnvik serial numbers: the next new number, numbers given back by chips\n"
                       "# that failed (taken first), and how many chips kept theirs.\n";
    text += "next=" + (stock.spent ? std::string("none") : std::to_string(stock.next)) + "\n";
    text += "given-back=";
    for (uint64_t n : stock.givenBack)
        text += std::to_string(n) + (n == *stock.givenBack.rbegin() ? "" : " ");
    text += "\nused=" + std::to_string(stock.used) + "\n";
    if (!stock.list.empty()) text += "# The numbers are positions in the list, its first number 0.\nlist=" + stock.list + "\n";
    return text;
}

bool ParseSerialStock(const std::string &text, SerialStock &stock)
{
    SerialStock s;
    bool haveNext = false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line = TrimBlanks(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = TrimBlanks(line.substr(0, eq));
        const std::string value = TrimBlanks(line.substr(eq + 1));
        if (key == "next") {
            haveNext = true;
            if (value == "none")
                s.spent = true;
            else if (!ParseNumber(value, s.next))
                return false;
        } else if (key == "given-back") {
            std::istringstream numbers(value);
            for (std::string n; numbers >> n;) {
                uint64_t v = 0;
                if (!ParseNumber(n, v)) return false;
                s.givenBack.insert(v);
            }
        } else if (key == "used") {
            if (!ParseNumber(value, s.used)) return false;
        } else if (key == "list") {
            if (value.empty()) return false;
            s.list = value;
        } else {
            return false;
        }
    }
    if (!haveNext) return false;
    stock = s;
    return true;
}

bool SerialAllocator::UseStateFile(const std::string &path, bool haveStart, std::string &error)
{
    std::lock_guard guard(mutex_);
    path_ = path;
    FileLock lock(path + ".lock");
    if (!lock.Error().empty()) {
        error = lock.Error();
        return false;
    }
    std::string text;
    bool exists = false;
    if (!ReadWhole(path, text, exists, error)) return false;
    if (exists) {
        SerialStock kept;
        if (!ParseSerialStock(text, kept)) {
            error = path + ": not a serial-number state file";
            return false;
        }
        if (kept.list != stock_.list) {
            error = path + (kept.list.empty() ? " counts numbers; it does not go with --serial-list"
                                              : " keeps the place in the serial list " + kept.list +
                                                    (stock_.list.empty() ? ": give it with --serial-list"
                                                                         : ", not " + stock_.list));
            return false;
        }
        stock_ = kept;
        fromFile_ = true;
        return true;
    }
    if (!haveStart) {
        error = path + " does not exist yet: give the first number with --serial START";
        return false;
    }
    return Replace(path, SerialStockText(stock_), error);
}

bool SerialAllocator::Change(const std::function<bool(SerialStock &, std::string &)> &change,
                             std::string &error)
{
    if (path_.empty()) return change(stock_, error);
    FileLock lock(path_ + ".lock");
    if (!lock.Error().empty()) {
        error = lock.Error();
        return false;
    }
    // Another run may have drawn numbers since: start from the file.
    std::string text;
    bool exists = false;
    if (!ReadWhole(path_, text, exists, error)) return false;
    SerialStock stock = stock_;
    if (exists && !ParseSerialStock(text, stock)) {
        error = path_ + ": not a serial-number state file";
        return false;
    }
    if (!change(stock, error)) return false;
    if (!Replace(path_, SerialStockText(stock), error)) return false;
    stock_ = stock;
    return true;
}

std::optional<uint64_t> SerialAllocator::Take(std::string &error)
{
    std::lock_guard guard(mutex_);
    uint64_t taken = 0;
    const bool ok = Change(
        [&](SerialStock &s, std::string &why) {
            if (!s.givenBack.empty()) {
                taken = *s.givenBack.begin();
                s.givenBack.erase(s.givenBack.begin());
                return true;
            }
            if (s.spent || (!list_.empty() && s.next >= list_.size())) {
                why = list_.empty() ? "no serial numbers are left"
                                    : "the serial list " + s.list + " is used up: all " +
                                          std::to_string(list_.size()) + " numbers are on chips";
                return false;
            }
            taken = s.next;
            if (s.next > UINT64_MAX - step_)
                s.spent = true;
            else
                s.next += step_;
            return true;
        },
        error);
    if (!ok) return std::nullopt;
    if (!list_.empty()) return list_[taken];
    return taken;
}

void SerialAllocator::UseList(std::vector<uint64_t> numbers, const std::string &name)
{
    std::lock_guard guard(mutex_);
    list_ = std::move(numbers);
    positions_.clear();
    for (uint64_t i = 0; i < list_.size(); ++i)
        positions_[list_[i]] = i;
    step_ = 1;
    stock_.next = 0;
    stock_.list = name;
}

bool SerialAllocator::Consume(uint64_t, std::string &error)
{
    std::lock_guard guard(mutex_);
    return Change(
        [](SerialStock &s, std::string &) {
            ++s.used;
            return true;
        },
        error);
}

bool SerialAllocator::GiveBack(uint64_t number, std::string &error)
{
    std::lock_guard guard(mutex_);
    // A list's number goes back as its position, which the state file keeps.
    if (const auto at = positions_.find(number); at != positions_.end()) number = at->second;
    return Change(
        [number](SerialStock &s, std::string &) {
            s.givenBack.insert(number);
            return true;
        },
        error);
}

SerialStock SerialAllocator::Stock() const
{
    std::lock_guard guard(mutex_);
    return stock_;
}
