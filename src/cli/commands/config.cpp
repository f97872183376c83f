// config: the configuration words of a file or of the chip, decoded by
// name; and --config of program and verify, which sets fields by name.
#include "Commands.h"
#include "Naming.h"
#include "catalogue/DeviceSpec.h"
#include "operations/operations.h"
#include "texts/configbits_texts.h"

namespace {

// The configuration words of a part without names, as the Config fields
// show them: PIC10/12/16 words, PIC18 bytes.
TConfigLayout PlainWords(DeviceSelection device)
{
    TConfigLayout plain;
    plain.Pic18 = device.Pic18;
    if (device.Pic18) {
        for (uint32_t i = 0; i < 14; ++i)
            plain.Words.push_back({"CONFIG" + std::to_string(i / 2 + 1) + (i % 2 ? "H" : "L"),
                                   Config18Address + i,
                                   Config18Address + i,
                                   0xFF,
                                   {}});
        return plain;
    }
    const TDeviceSpec &d = DeviceTable[size_t(device.Index)];
    if (d.Is12Bit()) {
        plain.Words.push_back({"CONFIG", Config12BitWord, d.ConfigAddress1, 0x0FFF, {}});
    } else {
        plain.Words.push_back(
            {d.ConfigAddress2 ? "CONFIG1" : "CONFIG", d.ConfigAddress1, d.ConfigAddress1, 0x3FFF, {}});
        if (d.ConfigAddress2) plain.Words.push_back({"CONFIG2", d.ConfigAddress2, d.ConfigAddress2, 0x3FFF, {}});
    }
    return plain;
}

JsonObject WordsObject(const TConfigLayout &layout, const TConfigValues &values)
{
    JsonObject words = JsonObject::array();
    for (size_t w = 0; w < layout.Words.size(); ++w) {
        const TConfigWord &word = layout.Words[w];
        JsonObject fields = JsonObject::array();
        for (const TConfigField &f : word.Fields) {
            const TConfigSetting *s = DecodeField(f, values[w]);
            fields.push_back({{"name", f.Name},
                              {"mask", Hex(f.Mask, ConfigDigits(word))},
                              {"bits", Hex(values[w] & f.Mask, ConfigDigits(word))},
                              {"setting", s ? JsonObject(s->Name) : JsonObject(nullptr)},
                              {"description", s ? JsonObject(s->Description) : JsonObject(nullptr)}});
        }
        words.push_back({{"name", word.Name},
                         {"address", ConfigAddressText(word.DeviceAddress)},
                         {"value", Hex(values[w], ConfigDigits(word))},
                         {"fields", fields}});
    }
    return words;
}

} // namespace

int ApplyConfigSettings(CommandRun &run)
{
    if (run.options.configSettings.empty()) return ExitSuccess;
    const DeviceSelection device = run.session.Device();
    auto usage = [&](const std::string &text) {
        run.ui.DropStatus();
        run.ui.Error(text);
        return int(ExitUsage);
    };
    if (device.Index < 0) return usage("--config needs a device (-d)");
    const std::string name = SelectedDeviceName(device);
    std::string problem;
    const auto layout = ConfigLayoutFor(name, device.Pic18, &problem);
    if (!layout) return usage((problem.empty() ? "" : problem + "\n") + name + ": " + texts::NoConfigNames());
    MemoryBuffer &buffer = run.session.Buffer();
    TConfigValues values = ReadConfigValues(*layout, buffer);
    const TConfigValues before = values;
    for (const std::string &settings : run.options.configSettings) {
        std::string error;
        if (!ApplyConfigAssignments(*layout, values, settings, error)) return usage(error);
    }
    WriteConfigValues(*layout, values, buffer);
    for (size_t w = 0; w < values.size(); ++w)
        if (values[w] != before[w]) run.ui.AddLog("Config: " + ConfigWordLine(layout->Words[w], values[w]));
    return ExitSuccess;
}

int ConfigCommand(CommandRun &run)
{
    std::string source;
    if (!run.options.file.empty()) {
        LoadFile(run, false);
        source = run.options.file;
    } else {
        OpenPortForCommand(run);
        if (const int refused = Check(run)) return refused;
        OperationContext ctx = run.session.Context(run.Options());
        if (!ReadConfigWords(ctx)) return ExitNegative;
        source = "chip";
    }
    const DeviceSelection device = run.session.Device();
    if (device.Index < 0) return RefuseNoDevice(run);
    const std::string name = SelectedDeviceName(device);
    std::string problem;
    const auto names = ConfigLayoutFor(name, device.Pic18, &problem);
    if (!problem.empty()) run.ui.Error(problem);
    if (!names) run.ui.AddLog(texts::NoConfigNames());
    const TConfigLayout &layout = names ? *names : PlainWords(device);
    const TConfigValues values = ReadConfigValues(layout, run.session.Buffer());
    if (!run.options.json) {
        for (size_t w = 0; w < layout.Words.size(); ++w) {
            run.ui.Print(ConfigWordLine(layout.Words[w], values[w]));
            for (const TConfigField &f : layout.Words[w].Fields)
                run.ui.Print(DescribeField(f, values[w]));
        }
        return ExitSuccess;
    }
    run.fields["source"] = source;
    run.fields["names"] = names != nullptr;
    run.fields["words"] = WordsObject(layout, values);
    return ExitSuccess;
}
