#include "operations/regions.h"

#include "configbits/ConfigBits.h"
#include "support/textutil.h"
#include "texts/operation_texts.h"

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

std::string MissingConfigurationText(const std::string &fileName, DeviceSelection device,
                                     const MemoryBuffer &buffer)
{
    return texts::MissingConfiguration(fileName, BufferConfigSummary(device, buffer));
}


bool ConfigurationProtects(DeviceSelection device, const MemoryBuffer &buffer)
{
    return BufferProtection(device, buffer).Any();
}
