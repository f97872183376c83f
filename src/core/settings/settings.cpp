#include "settings/settings.h"

#include <SimpleIni.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "support/atomic_file.h"
#include "support/checked_file.h"
#include "support/textutil.h"

namespace {

void Prepare(CSimpleIniA &ini)
{
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
}

bool Parsable(const std::string &text)
{
    // A NUL byte or text that is no UTF-8 marks a binary file, not a profile.
    if (text.find('\0') != std::string::npos) return false;
    CSimpleIniA probe;
    Prepare(probe);
    return probe.LoadData(text) == SI_OK;
}

} // namespace

struct SettingsFile::Profile {
    CSimpleIniA ini;
};

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)), profile_(std::make_unique<Profile>())
{
    Prepare(profile_->ini);
    // A FIFO, a device or a folder is not opened at all: opening a FIFO for
    // reading waits for a writer that never comes.
    std::string text;
    loadError_ = ReadRegularFile(path_, static_cast<size_t>(MaxFileSize), text);
    if (loadError_ == ENOENT) {
        state_ = State::Missing;
        loadError_ = 0;
        return;
    }
    if (loadError_ == EFBIG) {
        state_ = State::Unparsable;
        loadError_ = 0;
        return;
    }
    if (loadError_ != 0) {
        state_ = State::Unreadable;
        return;
    }
    if (!Parsable(text)) {
        state_ = State::Unparsable;
        return;
    }
    profile_->ini.LoadData(text);
    state_ = State::Loaded;
}

SettingsFile::~SettingsFile() = default;

bool SettingsFile::Lookup(const std::string &section, const std::string &key, std::string &value) const
{
    const char *found = profile_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!found) return false;
    value = TrimBlanks(found);
    return true;
}

bool SettingsFile::Set(const std::string &section, const std::string &key, const std::string &value)
{
    return profile_->ini.SetValue(section.c_str(), key.c_str(), value.c_str()) >= 0;
}

bool SettingsFile::Save()
{
    // A file that exists but could not be read (no permission, a FIFO, a
    // folder) must not be replaced by one holding only what this run knows:
    // that would throw the user's other settings away.
    if (state_ == State::Unreadable) return false;
    std::string text;
    if (profile_->ini.Save(text) != SI_OK) return false;
    std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) return false;
    }
    if (state_ == State::Unparsable) {
        // Kept for the user to look at; the fresh file replaces it.
        const std::string bad = path_ + ".bad";
        if (::rename(path_.c_str(), bad.c_str()) != 0 && errno != ENOENT) return false;
    }
    if (WriteFileAtomically(path_, text) != 0) return false;
    state_ = State::Loaded;
    return true;
}

bool ParseProfileInteger(const std::string &raw, int &value)
{
    std::string text = TrimBlanks(raw);
    int base = 10;
    size_t start = 0;
    bool negative = false;
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    } else if (!text.empty() && text[0] == '$') {
        base = 16;
        start = 1;
    } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        start = 1;
    }
    if (start >= text.size()) return false;
    long long result = 0;
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        result = result * base + digit;
        // Hexadecimal may spell a negative number through its top bit
        // (0xFFFFFFFF is -1), as 32-bit profile readers take it.
        if (result > (base == 16 ? 0xFFFFFFFFLL : (long long)INT_MAX + (negative ? 1 : 0))) return false;
    }
    if (negative) result = -result;
    if (base == 16) result = static_cast<int32_t>(static_cast<uint32_t>(result));
    value = static_cast<int>(result);
    return true;
}

bool SettingsFile::ReadBool(const std::string &section, const std::string &key, bool def) const
{
    std::string text;
    int value = 0;
    if (!Lookup(section, key, text) || !ParseProfileInteger(text, value)) return def;
    return value != 0;
}

int SettingsFile::ReadInteger(const std::string &section, const std::string &key, int def) const
{
    std::string text;
    int value = 0;
    if (!Lookup(section, key, text) || !ParseProfileInteger(text, value)) return def;
    return value;
}

std::string SettingsFile::ReadString(const std::string &section, const std::string &key,
                                     const std::string &def) const
{
    std::string text;
    if (!Lookup(section, key, text)) return def;
    if (text.size() > MaxTextLength) text.resize(MaxTextLength);
    return text;
}

bool SettingsFile::WriteBool(const std::string &section, const std::string &key, bool value)
{
    return Set(section, key, value ? "1" : "0");
}

bool SettingsFile::WriteInteger(const std::string &section, const std::string &key, int value)
{
    return Set(section, key, std::to_string(value));
}

bool SettingsFile::WriteString(const std::string &section, const std::string &key, const std::string &value)
{
    // A line break would end the value early and let the rest read as keys
    // of its own; a value is one line.
    return Set(section, key, value.substr(0, value.find_first_of("\r\n")));
}

std::string SettingsPathFor(const std::string &executablePath)
{
    // A file beside the program makes a portable copy that keeps its
    // settings with it. Otherwise the user's configuration folder: an
    // installed program never writes into its bin folder, even where it may
    // (root with /usr/local/bin, an install under ~/.local).
    if (!executablePath.empty()) {
        std::string beside = executablePath + ".ini";
        if (access(beside.c_str(), F_OK) == 0) return beside;
    }
    std::string base;
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and to be ignored.
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.config";
    }
    return base + "/tarnvik/tarnvik.ini";
}

std::string DefaultSettingsPath()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return SettingsPathFor(ec ? std::string() : exe.string());
}
