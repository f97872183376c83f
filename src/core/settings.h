// The settings file: an INI profile read and written one key at a time.
// Nothing is cached; every call goes to the file at that moment, so a value
// edited by hand between two reads is seen by the second one.
#pragma once

#include <string>

class SettingsFile {
public:
    explicit SettingsFile(std::string path);

    const std::string &Path() const { return path_; }

    // A missing file, section or key, or a value that does not parse, gives
    // the default. Section and key names match without regard to letter case
    // and values are read without surrounding blanks.
    bool ReadBool(const std::string &section, const std::string &key, bool def) const;
    // Decimal with an optional "-", or hexadecimal after "0x"/"0X" or "$".
    int ReadInteger(const std::string &section, const std::string &key, int def) const;
    // At most MaxTextLength characters (bytes).
    std::string ReadString(const std::string &section, const std::string &key, const std::string &def) const;

    // Each write rewrites the file at once (creating it, and a missing
    // folder, when needed); false when the file system refuses.
    bool WriteBool(const std::string &section, const std::string &key, bool value);
    bool WriteInteger(const std::string &section, const std::string &key, int value);
    bool WriteString(const std::string &section, const std::string &key, const std::string &value);

    static constexpr size_t MaxTextLength = 2047;

private:
    bool Lookup(const std::string &section, const std::string &key, std::string &value) const;

    std::string path_;
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
