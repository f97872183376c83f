#include "configbits/ConfigBits.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "support/textutil.h"
#include "texts/configbits_texts.h"

namespace {

struct Entry {
    std::string Name; // without the leading underscore and the PIC18 byte suffix
    uint16_t Value;
    std::string Description;
};

std::string_view SkipBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

std::string_view TakeWord(std::string_view &s)
{
    s = SkipBlanks(s);
    size_t n = 0;
    while (n < s.size() && s[n] != ' ' && s[n] != '\t')
        ++n;
    std::string_view w = s.substr(0, n);
    s.remove_prefix(n);
    return w;
}

// "_NAME  EQU  H'3FFC'  ; text": the name, the value and the text after ';'.
bool ParseEqu(std::string_view line, std::string &name, uint32_t &value, std::string &description)
{
    std::string_view rest = line;
    std::string_view n = TakeWord(rest);
    if (n.size() < 2 || n[0] != '_') return false;
    if (!SameTextIgnoringCase(TakeWord(rest), "EQU")) return false;
    rest = SkipBlanks(rest);
    if (rest.size() < 3 || (rest[0] != 'H' && rest[0] != 'h') || rest[1] != '\'') return false;
    rest.remove_prefix(2);
    uint32_t v = 0;
    size_t digits = 0;
    for (; digits < rest.size() && rest[digits] != '\''; ++digits) {
        const int d = HexDigit(rest[digits]);
        if (d < 0 || digits >= 8) return false;
        v = v << 4 | uint32_t(d);
    }
    if (digits == 0 || digits == rest.size()) return false;
    rest.remove_prefix(digits + 1);
    size_t semi = rest.find(';');
    description = semi == std::string_view::npos ? std::string() : TrimBlanks(rest.substr(semi + 1));
    name = std::string(n.substr(1));
    value = v;
    return true;
}

std::vector<std::string> SplitName(const std::string &name)
{
    std::vector<std::string> parts;
    std::stringstream in(name);
    for (std::string p; std::getline(in, p, '_');)
        parts.push_back(p);
    return parts;
}

bool StartsWith(std::string_view s, std::string_view p)
{
    return s.size() > p.size() && s.substr(0, p.size()) == p;
}
bool EndsWith(std::string_view s, std::string_view p)
{
    return s.size() > p.size() && s.substr(s.size() - p.size()) == p;
}

// One blank-line-separated group of option lines becomes a field. Its name is
// the leading part shared by names covering every value (FOSC_LP, FOSC_XT...);
// older PIC18 headers name oscillators by a trailing part instead (LP_OSC,
// XT_OSC...). The first name per value under that part is the setting, the
// others its aliases.
TConfigField MakeField(const std::vector<Entry> &entries, uint16_t width)
{
    std::vector<uint16_t> values;
    TConfigField field{"", 0, {}, {}};
    for (const Entry &e : entries) {
        if (std::find(values.begin(), values.end(), e.Value) == values.end()) values.push_back(e.Value);
        field.Mask |= uint16_t(~e.Value & width);
    }
    auto covers = [&](auto matches) {
        for (uint16_t v : values) {
            bool found = false;
            for (const Entry &e : entries)
                found = found || (e.Value == v && matches(e.Name));
            if (!found) return false;
        }
        return true;
    };
    std::string key;
    bool prefix = true;
    for (const Entry &e : entries) {
        auto parts = SplitName(e.Name);
        if (parts.size() < 2) continue;
        std::string p = parts.front() + "_";
        if (covers([&](const std::string &n) { return StartsWith(n, p); })) {
            key = parts.front();
            break;
        }
    }
    if (key.empty()) {
        for (const Entry &e : entries) {
            auto parts = SplitName(e.Name);
            if (parts.size() < 2) continue;
            std::string s = "_" + parts.back();
            if (covers([&](const std::string &n) { return EndsWith(n, s); })) {
                key = parts.back();
                prefix = false;
                break;
            }
        }
    }
    auto settingName = [&](const std::string &n) -> std::optional<std::string> {
        if (key.empty()) return n;
        if (prefix && StartsWith(n, key + "_")) return n.substr(key.size() + 1);
        if (!prefix && EndsWith(n, "_" + key)) return n.substr(0, n.size() - key.size() - 1);
        return std::nullopt;
    };
    field.Name = key.empty() ? SplitName(entries.front().Name).front() : key;
    for (uint16_t v : values) {
        TConfigSetting setting{"", uint16_t(v & field.Mask), "", {}};
        for (const Entry &e : entries) {
            if (e.Value != v) continue;
            auto s = settingName(e.Name);
            if (setting.Name.empty() && s) {
                setting.Name = *s;
                setting.Description = e.Description;
            } else if (e.Name != setting.Name && std::find(setting.Aliases.begin(), setting.Aliases.end(),
                                                           e.Name) == setting.Aliases.end()) {
                setting.Aliases.push_back(e.Name);
            }
        }
        field.Settings.push_back(std::move(setting));
    }
    // Older spellings of the field (WDT_OFF beside WDTE_OFF) name it too when
    // they cover every setting.
    for (const std::string &alias : field.Settings.front().Aliases) {
        std::string other = alias.substr(0, alias.find('_'));
        if (other == field.Name || other == alias) continue;
        bool everywhere =
            std::all_of(field.Settings.begin(), field.Settings.end(), [&](const TConfigSetting &s) {
                return std::find(s.Aliases.begin(), s.Aliases.end(), other + "_" + s.Name) != s.Aliases.end();
            });
        if (everywhere && std::find(field.Aliases.begin(), field.Aliases.end(), other) == field.Aliases.end())
            field.Aliases.push_back(other);
    }
    return field;
}

bool SameSettings(const TConfigField &a, const TConfigField &b)
{
    if (a.Mask != b.Mask || a.Settings.size() != b.Settings.size()) return false;
    for (size_t i = 0; i < a.Settings.size(); ++i)
        if (a.Settings[i].Value != b.Settings[i].Value) return false;
    return true;
}

void AddField(TConfigWord &word, const std::vector<Entry> &entries)
{
    if (entries.empty()) return;
    TConfigField field = MakeField(entries, word.Width);
    // A field without bits (the only oscillator choice of some 12-bit parts)
    // offers nothing to choose.
    if (field.Mask == 0) return;
    for (TConfigField &other : word.Fields) {
        if (SameSettings(other, field)) { // the same bits spelt twice
            other.Aliases.push_back(field.Name);
            return;
        }
    }
    word.Fields.push_back(std::move(field));
}

uint16_t WidthOf(uint32_t address)
{
    if (address >= Config18Address) return 0x00FF;
    return address < 0x1000 ? 0x0FFF : 0x3FFF;
}

} // namespace

std::optional<TConfigLayout> ParseConfigHeader(std::string_view text)
{
    TConfigLayout layout;
    std::map<std::string, uint32_t> addresses;
    TConfigWord *word = nullptr;
    std::string suffix; // "_1H" in a PIC18 CONFIG1H section
    std::vector<Entry> group;
    auto flush = [&] {
        if (word) AddField(*word, group);
        group.clear();
    };
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (line.substr(0, 6) == ";-----") {
            flush();
            word = nullptr;
            std::string_view rest = line.substr(6);
            std::string reg(TakeWord(rest));
            if (TakeWord(rest) != "Options") continue;
            auto at = addresses.find(reg);
            if (at == addresses.end()) continue;
            layout.Words.push_back({reg, at->second, at->second, WidthOf(at->second), {}});
            word = &layout.Words.back();
            suffix = at->second >= Config18Address && reg.size() > 6 ? "_" + reg.substr(6) : "";
            continue;
        }
        std::string name, description;
        uint32_t value;
        if (ParseEqu(line, name, value, description)) {
            if (!word) {
                if (name.substr(0, 6) == "CONFIG") addresses[name] = value;
                continue;
            }
            if (!suffix.empty() && EndsWith(name, suffix)) name.resize(name.size() - suffix.size());
            group.push_back({name, uint16_t(value & word->Width), description});
        } else if (TrimBlanks(line).empty()) {
            flush();
        }
    }
    flush();
    std::erase_if(layout.Words, [](const TConfigWord &w) { return w.Fields.empty(); });
    if (layout.Words.empty()) return std::nullopt;
    layout.Pic18 = layout.Words.front().Address >= Config18Address;
    return layout;
}

std::vector<std::string> ConfigHeaderFolders()
{
    std::vector<std::string> folders;
    if (const char *env = std::getenv("TARNVIK_GPUTILS_HEADERS"); env && *env) folders.push_back(env);
    folders.push_back("/usr/share/gputils/header");
    folders.push_back("/usr/local/share/gputils/header");
    return folders;
}

std::string FindConfigHeader(std::string_view deviceName, const std::vector<std::string> &folders)
{
    std::string part(deviceName);
    if (part.size() > 3 && SameTextIgnoringCase(part.substr(0, 3), "PIC")) part.erase(0, 3);
    if (part.empty() || part.find_first_of("/\\.<> ") != std::string::npos) return {};
    for (char &c : part)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string &folder : folders) {
        std::string path = folder + "/p" + part + ".inc";
        // Whatever is there counts, so that a header that cannot be read
        // is reported rather than passed over for another folder's.
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return path;
    }
    return {};
}

std::shared_ptr<const TConfigLayout> ConfigLayoutFor(std::string_view deviceName, bool pic18,
                                                     const std::vector<std::string> &folders,
                                                     std::string *problem)
{
    static std::mutex guard;
    static std::map<std::string, std::shared_ptr<const TConfigLayout>> cache; // by header path
    std::string path = FindConfigHeader(deviceName, folders);
    if (path.empty()) return nullptr;
    std::lock_guard lock(guard);
    auto it = cache.find(path);
    if (it == cache.end()) {
        std::string text;
        if (const int error = ReadRegularFile(path, ConfigHeaderMaxSize, text)) {
            // Not kept, so that a header put right is picked up later.
            if (problem) *problem = path + ": " + FileErrorReason(error);
            return nullptr;
        }
        auto parsed = ParseConfigHeader(text);
        if (parsed && !parsed->Pic18) {
            const int row = FindDevice(deviceName);
            for (TConfigWord &w : parsed->Words)
                if (w.Address == Config12BitWord && row > 0 && DeviceTable[size_t(row)].Is12Bit())
                    w.DeviceAddress = DeviceTable[size_t(row)].ConfigAddress1;
        }
        it = cache.emplace(path, parsed ? std::make_shared<const TConfigLayout>(std::move(*parsed)) : nullptr)
                 .first;
    }
    if (it->second && it->second->Pic18 != pic18) return nullptr;
    return it->second;
}

std::shared_ptr<const TConfigLayout> ConfigLayoutFor(std::string_view deviceName, bool pic18,
                                                     std::string *problem)
{
    return ConfigLayoutFor(deviceName, pic18, ConfigHeaderFolders(), problem);
}

const TConfigSetting *DecodeField(const TConfigField &field, uint16_t word)
{
    for (const TConfigSetting &s : field.Settings)
        if ((word & field.Mask) == s.Value) return &s;
    return nullptr;
}

uint16_t EncodeField(uint16_t word, const TConfigField &field, const TConfigSetting &setting)
{
    return uint16_t((word & ~field.Mask) | (setting.Value & field.Mask));
}

const TConfigField *FindConfigField(const TConfigLayout &layout, std::string_view name, size_t *word)
{
    for (size_t w = 0; w < layout.Words.size(); ++w) {
        for (const TConfigField &f : layout.Words[w].Fields) {
            bool match = SameTextIgnoringCase(f.Name, name);
            for (const std::string &a : f.Aliases)
                match = match || SameTextIgnoringCase(a, name);
            if (match) {
                if (word) *word = w;
                return &f;
            }
        }
    }
    return nullptr;
}

const TConfigSetting *FindConfigSetting(const TConfigField &field, std::string_view name)
{
    for (const TConfigSetting &s : field.Settings) {
        if (SameTextIgnoringCase(s.Name, name)) return &s;
        // An alias may be written whole (LP_OSC) or after the field name (CP=ALL for CP_ALL).
        for (const std::string &a : s.Aliases)
            if (SameTextIgnoringCase(a, name) ||
                SameTextIgnoringCase(a, field.Name + "_" + std::string(name)))
                return &s;
    }
    return nullptr;
}

bool ApplyConfigAssignments(const TConfigLayout &layout, TConfigValues &values, std::string_view text,
                            std::string &error)
{
    TConfigValues result = values;
    result.resize(layout.Words.size(), 0xFFFF);
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string pair =
            TrimBlanks(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
        size_t eq = pair.find('=');
        std::string fieldName = TrimBlanks(pair.substr(0, eq));
        std::string settingName = eq == std::string::npos ? "" : TrimBlanks(pair.substr(eq + 1));
        size_t w = 0;
        const TConfigField *field = fieldName.empty() ? nullptr : FindConfigField(layout, fieldName, &w);
        if (!field || eq == std::string::npos || settingName.empty()) {
            std::string names;
            for (const TConfigWord &word : layout.Words)
                for (const TConfigField &f : word.Fields)
                    names += (names.empty() ? "" : " ") + f.Name;
            error = field ? texts::ConfigAssignmentMalformed(pair, names)
                          : texts::ConfigFieldUnknown(fieldName, names);
            return false;
        }
        const TConfigSetting *setting = FindConfigSetting(*field, settingName);
        if (!setting) {
            std::string names;
            for (const TConfigSetting &s : field->Settings)
                names += (names.empty() ? "" : " ") + s.Name;
            error = texts::ConfigSettingUnknown(field->Name, settingName, names);
            return false;
        }
        result[w] = EncodeField(result[w], *field, *setting);
    }
    values = std::move(result);
    return true;
}

TConfigValues ReadConfigValues(const TConfigLayout &layout, const MemoryBuffer &buffer)
{
    TConfigValues values;
    for (const TConfigWord &w : layout.Words) {
        if (layout.Pic18)
            values.push_back(w.Address - Config18Address < buffer.Config18.size()
                                 ? buffer.Config18[w.Address - Config18Address]
                                 : 0xFF);
        else
            values.push_back(w.Address < WordImageSize ? buffer.Words[w.Address] : w.Width);
    }
    return values;
}

void WriteConfigValues(const TConfigLayout &layout, const TConfigValues &values, MemoryBuffer &buffer)
{
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i) {
        const TConfigWord &w = layout.Words[i];
        if (layout.Pic18) {
            if (w.Address - Config18Address < buffer.Config18.size())
                buffer.Config18[w.Address - Config18Address] = uint8_t(values[i]);
        } else if (w.Address < WordImageSize) {
            buffer.Words[w.Address] = values[i];
        }
    }
}

int ConfigSlotOf(const TConfigLayout &layout, const TConfigWord &word, int *shift)
{
    if (shift) *shift = 0;
    if (!layout.Pic18) return word.Address == 0x2008 ? 1 : 0;
    uint32_t byte = word.Address - Config18Address;
    if (byte >= 14) return -1;
    if (shift) *shift = int(byte % 2) * 8;
    return int(byte / 2);
}

TConfigValues ConfigValuesFromSlots(const TConfigLayout &layout, const TConfigSlots &slots)
{
    TConfigValues values;
    for (const TConfigWord &w : layout.Words) {
        int shift;
        int slot = ConfigSlotOf(layout, w, &shift);
        values.push_back(
            slot < 0 ? w.Width : uint16_t((slots[size_t(slot)] >> shift) & (layout.Pic18 ? 0xFF : 0xFFFF)));
    }
    return values;
}

void ConfigValuesToSlots(const TConfigLayout &layout, const TConfigValues &values, TConfigSlots &slots)
{
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i) {
        int shift;
        int slot = ConfigSlotOf(layout, layout.Words[i], &shift);
        if (slot < 0) continue;
        uint16_t &s = slots[size_t(slot)];
        if (layout.Pic18)
            s = uint16_t((s & ~(0xFF << shift)) | (values[i] & 0xFF) << shift);
        else
            s = values[i];
    }
}

std::string DescribeField(const TConfigField &field, uint16_t word)
{
    if (const TConfigSetting *s = DecodeField(field, word))
        return field.Name + " = " + s->Name + (s->Description.empty() ? "" : "  (" + s->Description + ")");
    int digits = field.Mask > 0xFF ? 4 : 2;
    return texts::ConfigFieldUnnamedValue(field.Name, Hex(word & field.Mask, digits));
}

std::vector<std::string> DescribeConfig(const TConfigLayout &layout, const TConfigValues &values)
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i)
        for (const TConfigField &f : layout.Words[i].Fields)
            lines.push_back(DescribeField(f, values[i]));
    return lines;
}

std::string ConfigSummary(const TConfigLayout &layout, const TConfigValues &values)
{
    std::string line;
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i)
        for (const TConfigField &f : layout.Words[i].Fields) {
            const TConfigSetting *s = DecodeField(f, values[i]);
            line += (line.empty() ? "" : ", ") + f.Name + " = " +
                    (s ? s->Name : Hex(values[i] & f.Mask, f.Mask > 0xFF ? 4 : 2));
        }
    return line;
}

namespace {

enum class Guards { Nothing, Code, Data };

Guards WhatFieldGuards(std::string_view name)
{
    const std::string n = UpperCase(name);
    if (n == "CPD") return Guards::Data;
    if (n == "CP" || n == "CPB") return Guards::Code;
    if (n.size() == 3 && n.starts_with("CP") && n[2] >= '0' && n[2] <= '9') return Guards::Code;
    return Guards::Nothing;
}

uint16_t OffBits(const TConfigField &f)
{
    const TConfigSetting *s = FindConfigSetting(f, "OFF");
    return (s ? s->Value : f.Mask) & f.Mask;
}

} // namespace

TConfigProtection ConfigProtection(const TConfigLayout &layout, const TConfigValues &values)
{
    TConfigProtection p;
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i)
        for (const TConfigField &f : layout.Words[i].Fields) {
            const Guards g = WhatFieldGuards(f.Name);
            if (g == Guards::Nothing || (values[i] & f.Mask) == OffBits(f)) continue;
            (g == Guards::Code ? p.Code : p.Data) = true;
        }
    return p;
}

void ClearProtection(const TConfigLayout &layout, TConfigValues &values)
{
    for (size_t i = 0; i < layout.Words.size() && i < values.size(); ++i)
        for (const TConfigField &f : layout.Words[i].Fields)
            if (WhatFieldGuards(f.Name) != Guards::Nothing)
                values[i] = static_cast<uint16_t>((values[i] & ~f.Mask) | OffBits(f));
}

namespace {

const char *PartName(DeviceSelection device)
{
    return device.Pic18 ? DeviceTable18[static_cast<size_t>(device.Index)].Name
                        : DeviceTable[static_cast<size_t>(device.Index)].Name;
}

} // namespace

std::string BufferConfigSummary(DeviceSelection device, const MemoryBuffer &buffer)
{
    if (!IsDevice(device)) return {};
    if (const auto layout = ConfigLayoutFor(PartName(device), device.Pic18))
        return ConfigSummary(*layout, ReadConfigValues(*layout, buffer));
    std::string line;
    if (device.Pic18) {
        for (size_t i = 0; i < buffer.Config18.size(); ++i)
            line += (i ? ", CONFIG" : "CONFIG") + std::to_string(i / 2 + 1) + (i % 2 ? "H" : "L") + " = " +
                    Hex(buffer.Config18[i], 2);
        return line;
    }
    const TDeviceSpec &d = DeviceTable[static_cast<size_t>(device.Index)];
    const uint32_t first = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    line = std::string(d.ConfigAddress2 ? "CONFIG1" : "CONFIG") + " = " + Hex(buffer.Words[first], 4);
    if (d.ConfigAddress2) line += ", CONFIG2 = " + Hex(buffer.Words[d.ConfigAddress2], 4);
    return line;
}

TConfigProtection BufferProtection(DeviceSelection device, const MemoryBuffer &buffer)
{
    if (!IsDevice(device)) return {};
    const auto layout = ConfigLayoutFor(PartName(device), device.Pic18);
    return layout ? ConfigProtection(*layout, ReadConfigValues(*layout, buffer)) : TConfigProtection{};
}
