// devices: the catalogue, its names alone (--names), or one part's
// configuration fields by name (--config NAME).
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "texts/configbits_texts.h"
#include "texts/terminal_texts.h"

namespace {

void PrintConfigFields(CommandRun &run, const TConfigLayout &layout)
{
    for (const TConfigWord &w : layout.Words) {
        run.ui.Print(w.Name + " (" + ConfigAddressText(w.DeviceAddress) + ")");
        for (const TConfigField &f : w.Fields) {
            const std::string aliases = texts::ConfigAliases(f.Aliases);
            run.ui.Print("  " + f.Name + "  [" + Hex(f.Mask, ConfigDigits(w)) + "]" + aliases);
            for (const TConfigSetting &s : f.Settings) {
                std::string line = "    " + f.Name + "=" + s.Name;
                line.resize(std::max<size_t>(line.size() + 2, 28), ' ');
                run.ui.Print(line + s.Description);
            }
        }
    }
}

JsonObject ConfigFieldsObject(const TConfigLayout &layout)
{
    JsonObject words = JsonObject::array();
    for (const TConfigWord &word : layout.Words) {
        JsonObject fields = JsonObject::array();
        for (const TConfigField &f : word.Fields) {
            JsonObject settings = JsonObject::array();
            for (const TConfigSetting &setting : f.Settings)
                settings.push_back({{"name", setting.Name},
                                    {"bits", Hex(setting.Value, ConfigDigits(word))},
                                    {"description", setting.Description}});
            fields.push_back({{"name", f.Name}, {"mask", Hex(f.Mask, ConfigDigits(word))}, {"settings", settings}});
        }
        words.push_back({{"name", word.Name}, {"address", ConfigAddressText(word.DeviceAddress)}, {"fields", fields}});
    }
    return words;
}

int ConfigList(CommandRun &run)
{
    const DeviceSelection device = FindCatalogueDevice(run.options.configDevice);
    if (device.Index < 0) {
        run.ui.Error("unknown device '" + run.options.configDevice + "' (see tarnvik-cli devices)");
        return ExitUsage;
    }
    const std::string name = SelectedDeviceName(device);
    std::string problem;
    const auto layout = ConfigLayoutFor(name, device.Pic18, &problem);
    // The part listed is the object's device.
    run.fields["device"] = name;
    run.fields["names"] = layout != nullptr;
    run.fields["words"] = JsonObject::array();
    if (!layout) {
        if (!problem.empty()) run.ui.Error(problem);
        run.ui.AddLog(texts::NoConfigNames());
        return ExitSuccess;
    }
    if (!run.options.json)
        PrintConfigFields(run, *layout);
    else
        run.fields["words"] = ConfigFieldsObject(*layout);
    return ExitSuccess;
}

} // namespace

int DevicesCommand(CommandRun &run)
{
    if (!run.options.configDevice.empty()) return ConfigList(run);
    if (run.options.names) {
        for (int i = 1; i < DeviceTableSize; ++i)
            run.ui.Print(DeviceTable[static_cast<size_t>(i)].Name);
        for (int i = 1; i < DeviceTable18Size; ++i)
            run.ui.Print(DeviceTable18[static_cast<size_t>(i)].Name);
        return ExitSuccess;
    }
    JsonObject rows = JsonObject::array();
    auto row = [&](const char *name, const char *family, unsigned size, const char *unit, unsigned eeData,
                   unsigned id) {
        char line[160];
        std::snprintf(line, sizeof line, "%-12s %-6s program %6u %-5s  EEData %4u bytes  DEVICE-ID %s", name,
                      family, size, unit, eeData, id ? Hex(id, 4).c_str() : "----");
        run.ui.Print(line);
        rows.push_back({{"name", name},
                        {"family", family},
                        {"program_size", size},
                        {"program_unit", unit},
                        {"eedata_bytes", eeData},
                        {"device_id", id ? JsonObject(Hex(id, 4)) : JsonObject(nullptr)}});
    };
    for (int i = 1; i < DeviceTableSize; ++i) {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(i)];
        row(d.Name, d.Is12Bit() ? "12-bit" : "14-bit", d.ProgramSize, "words", d.EEDataSize, d.DeviceId);
    }
    for (int i = 1; i < DeviceTable18Size; ++i) {
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(i)];
        row(d.Name, "PIC18", d.ProgramSize, "bytes", d.EEDataSize, d.DeviceId);
    }
    run.fields["devices"] = rows;
    return ExitSuccess;
}
