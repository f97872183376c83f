// The settings file: an INI profile, parsed once when the settings are
// opened and written once, whole, when the program saves them at exit. Reads
// and writes in between work on the parsed copy, so a start costs one parse
// however many keys it reads, and a file the program is about to replace is
// never left half-written.
#pragma once

#include <memory>
#include <string>

class SettingsFile {
public:
    // Opens and parses the file. Only a regular file is read (looked at
    // without blocking, so a FIFO in its place cannot hang the start); a
    // missing one gives the defaults.
    explicit SettingsFile(std::string path);
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    const std::string &Path() const { return path_; }

    // A missing file, section or key, or a value that does not parse, gives
    // the default. Section and key names match without regard to letter case
    // and values are read without surrounding blanks.
    bool ReadBool(const std::string &section, const std::string &key, bool def) const;
    // Decimal with an optional "-", or hexadecimal after "0x"/"0X" or "$".
    int ReadInteger(const std::string &section, const std::string &key, int def) const;
    // At most MaxTextLength characters (bytes).
    std::string ReadString(const std::string &section, const std::string &key, const std::string &def) const;

    // Writes change the parsed copy; Save puts them into the file.
    bool WriteBool(const std::string &section, const std::string &key, bool value);
    bool WriteInteger(const std::string &section, const std::string &key, int value);
    bool WriteString(const std::string &section, const std::string &key, const std::string &value);

    // Writes the whole file at once (creating it, and a missing folder, when
    // needed) through a temporary file; false when the file system refuses
    // or the path holds something that is no regular file. A file that could
    // not be parsed is first kept beside it as "<name>.bad".
    bool Save();

    static constexpr size_t MaxTextLength = 2047;
    // A settings file is a few hundred bytes; anything far bigger is no
    // settings file and is treated as one that cannot be parsed.
    static constexpr long MaxFileSize = 1 << 20;

    enum class State { Missing, Loaded, Unparsable, Unreadable };
    State LoadState() const { return state_; }
    // Why an unreadable file could not be read (an errno value, see
    // FileErrorReason); 0 otherwise.
    int LoadError() const { return loadError_; }

private:
    bool Lookup(const std::string &section, const std::string &key, std::string &value) const;
    bool Set(const std::string &section, const std::string &key, const std::string &value);

    struct Profile;
    std::string path_;
    std::unique_ptr<Profile> profile_;
    State state_ = State::Missing;
    int loadError_ = 0;
};

// Parses a profile integer; false when the text is not one.
bool ParseProfileInteger(const std::string &text, int &value);

// Where the settings live: the executable's path plus ".ini" when that file
// exists or the executable's folder is writable; otherwise
// $XDG_CONFIG_HOME/tarnvik/tarnvik.ini, with ~/.config as the default base.
// An empty executable path skips the first choice.
std::string SettingsPathFor(const std::string &executablePath);
// The same for the running program (through /proc/self/exe).
std::string DefaultSettingsPath();
