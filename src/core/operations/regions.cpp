#include "operations/regions.h"

#include <algorithm>

#include "configbits/ConfigBits.h"
#include "support/textutil.h"

std::optional<unsigned> ParseRegions(std::string_view text)
{
    static constexpr std::pair<std::string_view, unsigned> Names[] = {
        {"code", RegionCode}, {"eeprom", RegionEEData}, {"id", RegionUserId}, {"config", RegionConfig}};
    unsigned regions = 0;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        bool known = false;
        for (const auto &[word, bit] : Names)
            if (name == word) {
                regions |= bit;
                known = true;
            }
        if (!known) return std::nullopt;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return regions;
}

std::string ConfigurationInBuffer(DeviceSelection device, const MemoryBuffer &buffer)
{
    if (!IsDevice(device)) return {};
    const size_t row = static_cast<size_t>(device.Index);
    const std::string name = device.Pic18 ? DeviceTable18[row].Name : DeviceTable[row].Name;
    std::string text;
    auto add = [&](const std::string &part) { text += (text.empty() ? "" : ", ") + part; };
    if (const auto layout = ConfigLayoutFor(name, device.Pic18)) {
        const TConfigValues values = ReadConfigValues(*layout, buffer);
        for (size_t w = 0; w < layout->Words.size() && w < values.size(); ++w)
            for (const TConfigField &field : layout->Words[w].Fields) {
                const TConfigSetting *setting = DecodeField(field, values[w]);
                add(field.Name + " = " +
                    (setting ? setting->Name : Hex(values[w] & field.Mask, field.Mask > 0xFF ? 4 : 2)));
            }
        if (!text.empty()) return text;
    }
    if (device.Pic18) {
        for (size_t i = 0; i < buffer.Config18.size(); ++i)
            add(Hex(0x300000 + static_cast<uint32_t>(i), 6) + " = " + Hex(buffer.Config18[i], 2));
        return text;
    }
    const TDeviceSpec &d = DeviceTable[row];
    const uint32_t first = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    add(Hex(first, 4) + " = " + Hex(buffer.Words[first] & d.ConfigMask1, 4));
    if (d.ConfigAddress2 != 0)
        add(Hex(d.ConfigAddress2, 4) + " = " + Hex(buffer.Words[d.ConfigAddress2] & d.ConfigMask2, 4));
    return text;
}

std::string MissingConfigurationText(const std::string &fileName, DeviceSelection device,
                                     const MemoryBuffer &buffer)
{
    return "ファイル \"" + fileName + "\" にConfigurationがありません。デバイスには次の値が書き込まれます: " +
           ConfigurationInBuffer(device, buffer);
}


bool ConfigurationProtects(DeviceSelection device, const MemoryBuffer &buffer)
{
    return BufferProtection(device, buffer).Any();
}
