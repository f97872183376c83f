// Configuration bits by name on the command line: decoding a file's or the
// chip's configuration, listing a part's fields, and setting fields in the
// image before it is programmed or verified.
#include <cstdio>

#include "CliSession.h"
#include "configbits/ConfigBits.h"
#include "image/hex.h"
#include "operations/operations.h"
#include "support/textutil.h"

namespace {

int Digits(const TConfigWord &w)
{
    return w.Width > 0xFF ? 4 : 2;
}

std::string AddressText(uint32_t address)
{
    return Hex(address, address > 0xFFFF ? 6 : 4);
}

std::string WordLine(const TConfigWord &w, uint16_t value)
{
    return w.Name + " (" + AddressText(w.DeviceAddress) + ") = " + Hex(value, Digits(w));
}

// The configuration words of a part without names, as the Config fields
// show them: PIC10/12/16 words, PIC18 bytes.
TConfigLayout PlainWords(bool pic18, int index)
{
    TConfigLayout plain;
    plain.Pic18 = pic18;
    if (pic18) {
        for (uint32_t i = 0; i < 14; ++i)
            plain.Words.push_back({"CONFIG" + std::to_string(i / 2 + 1) + (i % 2 ? "H" : "L"),
                                   Config18Address + i,
                                   Config18Address + i,
                                   0xFF,
                                   {}});
        return plain;
    }
    const TDeviceSpec &d = DeviceTable[size_t(index)];
    if (d.Is12Bit()) {
        plain.Words.push_back({"CONFIG", Config12BitWord, d.ConfigAddress1, 0x0FFF, {}});
    } else {
        plain.Words.push_back(
            {d.ConfigAddress2 ? "CONFIG1" : "CONFIG", d.ConfigAddress1, d.ConfigAddress1, 0x3FFF, {}});
        if (d.ConfigAddress2)
            plain.Words.push_back({"CONFIG2", d.ConfigAddress2, d.ConfigAddress2, 0x3FFF, {}});
    }
    return plain;
}

} // namespace

int CliSession::ApplyConfigSettings()
{
    if (options_.configSettings.empty()) return ExitSuccess;
    const int index = device_.Index;
    auto usage = [&](const std::string &text) {
        ui_.DropStatus();
        ui_.Error(text);
        return int(ExitUsage);
    };
    if (index < 0) return usage("--config needs a device (-d)");
    const bool pic18 = device_.Pic18;
    const std::string name = DeviceName(DeviceSelection{pic18, index});
    std::string problem;
    const auto layout = ConfigLayoutFor(name, pic18, &problem);
    if (!layout) return usage((problem.empty() ? "" : problem + "\n") + name + ": " + NoConfigNamesText);
    TConfigValues values = ReadConfigValues(*layout, *buffer_);
    const TConfigValues before = values;
    for (const std::string &settings : options_.configSettings) {
        std::string error;
        if (!ApplyConfigAssignments(*layout, values, settings, error)) return usage(error);
    }
    WriteConfigValues(*layout, values, *buffer_);
    for (size_t w = 0; w < values.size(); ++w)
        if (values[w] != before[w]) ui_.AddLog("Config: " + WordLine(layout->Words[w], values[w]));
    return ExitSuccess;
}

int CliSession::Config()
{
    std::string source;
    if (!options_.file.empty()) {
        LoadFile(false);
        source = options_.file;
    } else {
        OpenPortForCommand();
        if (const int refused = Check()) return refused;
        OperationContext ctx = Context();
        if (!ReadConfigWords(ctx)) return ExitNegative;
        source = "chip";
    }
    const int index = device_.Index;
    if (index < 0) return RefuseNoDevice();
    const bool pic18 = device_.Pic18;
    const std::string name = DeviceName(DeviceSelection{pic18, index});
    std::string problem;
    const auto names = ConfigLayoutFor(name, pic18, &problem);
    if (!problem.empty()) ui_.Error(problem);
    if (!names) ui_.AddLog(NoConfigNamesText);
    const TConfigLayout &layout = names ? *names : PlainWords(pic18, index);
    const TConfigValues values = ReadConfigValues(layout, *buffer_);

    if (!options_.json) {
        for (size_t w = 0; w < layout.Words.size(); ++w) {
            ui_.Print(WordLine(layout.Words[w], values[w]));
            for (const TConfigField &f : layout.Words[w].Fields)
                ui_.Print(DescribeField(f, values[w]));
        }
        return ExitSuccess;
    }
    JsonObject words = JsonObject::array();
    for (size_t w = 0; w < layout.Words.size(); ++w) {
        const TConfigWord &word = layout.Words[w];
        JsonObject fields = JsonObject::array();
        for (const TConfigField &f : word.Fields) {
            const TConfigSetting *s = DecodeField(f, values[w]);
            fields.push_back({{"name", f.Name},
                              {"mask", Hex(f.Mask, Digits(word))},
                              {"bits", Hex(values[w] & f.Mask, Digits(word))},
                              {"setting", s ? JsonObject(s->Name) : JsonObject(nullptr)},
                              {"description", s ? JsonObject(s->Description) : JsonObject(nullptr)}});
        }
        words.push_back({{"name", word.Name},
                         {"address", AddressText(word.DeviceAddress)},
                         {"value", Hex(values[w], Digits(word))},
                         {"fields", fields}});
    }
    fields_["source"] = source;
    fields_["names"] = names != nullptr;
    fields_["words"] = words;
    return ExitSuccess;
}

int CliSession::ConfigList()
{
    const std::string &wanted = options_.configDevice;
    bool pic18 = false;
    int index = -1;
    for (int i = 1; i < DeviceTableSize && index < 0; ++i)
        if (SameTextIgnoringCase(DeviceTable[size_t(i)].Name, wanted)) index = i;
    for (int i = 1; i < DeviceTable18Size && index < 0; ++i)
        if (SameTextIgnoringCase(DeviceTable18[size_t(i)].Name, wanted)) pic18 = true, index = i;
    if (index < 0) {
        ui_.Error("unknown device '" + wanted + "' (see tarnvik-cli devices)");
        return ExitUsage;
    }
    const std::string name = DeviceName(DeviceSelection{pic18, index});
    std::string problem;
    const auto layout = ConfigLayoutFor(name, pic18, &problem);
    // The part listed is the object's device.
    fields_["device"] = name;
    fields_["names"] = layout != nullptr;
    fields_["words"] = JsonObject::array();
    if (!layout) {
        if (!problem.empty()) ui_.Error(problem);
        ui_.AddLog(NoConfigNamesText);
        return ExitSuccess;
    }
    if (!options_.json) {
        for (const TConfigWord &w : layout->Words) {
            ui_.Print(w.Name + " (" + AddressText(w.DeviceAddress) + ")");
            for (const TConfigField &f : w.Fields) {
                std::string aliases;
                for (const std::string &a : f.Aliases)
                    aliases += (aliases.empty() ? "  別名: " : ", ") + a;
                ui_.Print("  " + f.Name + "  [" + Hex(f.Mask, Digits(w)) + "]" + aliases);
                for (const TConfigSetting &s : f.Settings) {
                    std::string line = "    " + f.Name + "=" + s.Name;
                    line.resize(std::max<size_t>(line.size() + 2, 28), ' ');
                    ui_.Print(line + s.Description);
                }
            }
        }
        return ExitSuccess;
    }
    for (const TConfigWord &word : layout->Words) {
        JsonObject fields = JsonObject::array();
        for (const TConfigField &f : word.Fields) {
            JsonObject settings = JsonObject::array();
            for (const TConfigSetting &setting : f.Settings)
                settings.push_back({{"name", setting.Name},
                                    {"bits", Hex(setting.Value, Digits(word))},
                                    {"description", setting.Description}});
            fields.push_back({{"name", f.Name}, {"mask", Hex(f.Mask, Digits(word))}, {"settings", settings}});
        }
        fields_["words"].push_back(
            {{"name", word.Name}, {"address", AddressText(word.DeviceAddress)}, {"fields", fields}});
    }
    return ExitSuccess;
}
