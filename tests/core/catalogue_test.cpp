// The catalogue against an independent transcription of the device tables
// (decimal values, configuration bytes as hex strings), field by field.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "DeviceSpec.h"
#include "textutil.h"

namespace {

std::vector<std::map<std::string, std::string>> ReadCsv(const std::string &path)
{
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        EXPECT_EQ(cells.size(), header.size()) << line;
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = cells[i];
        rows.push_back(row);
    }
    return rows;
}

std::string Bytes(const std::array<uint8_t, 14> &bytes)
{
    std::string s;
    for (uint8_t b : bytes) s += Hex(b, 2);
    return s;
}

std::map<std::string, std::string> Fields(const TDeviceSpec &d)
{
    auto n = [](unsigned v) { return std::to_string(v); };
    return {{"Name", d.Name},
            {"DeviceId", n(d.DeviceId)},
            {"UserIdAddress", n(d.UserIdAddress)},
            {"EntryMode", n(d.EntryMode)},
            {"BlankWord", n(d.BlankWord)},
            {"ProgramSize", n(d.ProgramSize)},
            {"EEDataSize", n(d.EEDataSize)},
            {"ConfigAreaSize", n(d.ConfigAreaSize)},
            {"ConfigAddress1", n(d.ConfigAddress1)},
            {"ConfigAddress2", n(d.ConfigAddress2)},
            {"ConfigMask1", n(d.ConfigMask1)},
            {"ConfigMask2", n(d.ConfigMask2)},
            {"CalibAddress1", n(d.CalibAddress1)},
            {"CalibAddress2", n(d.CalibAddress2)},
            {"CalibMask1", n(d.CalibMask1)},
            {"CalibMask2", n(d.CalibMask2)},
            {"ProgramAlgorithm", n(d.ProgramAlgorithm)},
            {"ConfigAlgorithm", n(d.ConfigAlgorithm)},
            {"ProgramWait", n(d.ProgramWait)},
            {"EEDataWait", n(d.EEDataWait)},
            {"ConfigWait", n(d.ConfigWait)},
            {"LatchCount", n(d.LatchCount)},
            {"EraseAlgorithm", n(d.EraseAlgorithm)},
            {"EraseWait", n(d.EraseWait)},
            {"ConfigBaseBits", n(d.ConfigBaseBits)}};
}

std::map<std::string, std::string> Fields(const TDeviceSpec18 &d)
{
    auto n = [](unsigned v) { return std::to_string(v); };
    return {{"Name", d.Name},
            {"DeviceId", n(d.DeviceId)},
            {"ProgramSize", n(d.ProgramSize)},
            {"EEDataSize", n(d.EEDataSize)},
            {"WriteBufferSize", n(d.WriteBufferSize)},
            {"EraseKind", n(d.EraseKind)},
            {"Options byte", n(d.Options)},
            {"PanelCount", n(d.PanelCount)},
            {"PanelSize", n(d.PanelSize)},
            {"ProgramWait", n(d.ProgramWait)},
            {"Spare wait", n(d.SpareWait)},
            {"ConfigWait", n(d.ConfigWait)},
            {"IdWait", n(d.IdWait)},
            {"EraseWait", n(d.EraseWait)},
            {"ConfigMask", Bytes(d.ConfigMask)},
            {"ConfigDefault", Bytes(d.ConfigDefault)}};
}

template <typename Table>
void CompareWithTranscription(const Table &table, const std::string &csv)
{
    auto rows = ReadCsv(csv);
    ASSERT_EQ(rows.size(), table.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r]["row"], std::to_string(r));
        auto fields = Fields(table[r]);
        // Every column of the transcription is a field, and every field is checked.
        EXPECT_EQ(rows[r].size(), fields.size() + 1) << "row " << r;
        for (const auto &[column, value] : fields) {
            ASSERT_TRUE(rows[r].count(column)) << "column " << column << " missing from " << csv;
            EXPECT_EQ(value, UpperCase(rows[r][column])) << table[r].Name << " (row " << r << "): " << column;
        }
    }
}

} // namespace

TEST(Catalogue, EveryRowMatchesTheTranscription)
{
    CompareWithTranscription(DeviceTable, TARNVIK_TEST_DATA "/device_table.csv");
    CompareWithTranscription(DeviceTable18, TARNVIK_TEST_DATA "/device_table18.csv");
}

TEST(Catalogue, HoldsTheInvariantsOperationsRelyOn)
{
    for (int i = 1; i < DeviceTableSize; ++i) {
        const TDeviceSpec &d = DeviceTable[i];
        SCOPED_TRACE(d.Name);
        if (d.Is12Bit()) {
            EXPECT_EQ(d.BlankWord, 0x0FFF);
            EXPECT_EQ(d.UserIdAddress, d.ProgramSize);
        } else {
            EXPECT_EQ(d.BlankWord, 0x3FFF);
            EXPECT_EQ(d.ConfigAddress1, 0x2007);
            EXPECT_EQ(d.UserIdAddress, 0x2000);
        }
        EXPECT_TRUE(d.ConfigAddress2 == 0 || d.ConfigAddress2 == 0x2008);
        EXPECT_EQ(d.ProgramSize % 16, 0u);
        EXPECT_EQ(d.ProgramSize % d.LatchCount, 0u);
        EXPECT_EQ(d.EEDataSize % 16, 0u);
    }
    for (int i = 1; i < DeviceTable18Size; ++i) {
        const TDeviceSpec18 &d = DeviceTable18[i];
        SCOPED_TRACE(d.Name);
        EXPECT_EQ(d.ProgramSize % d.WriteBufferSize, 0u);
        EXPECT_EQ(d.WriteBufferSize % 8, 0u);
        EXPECT_EQ(d.EEDataSize % 32, 0u);
        for (size_t k = 0; k < 14; ++k) EXPECT_EQ(d.ConfigDefault[k] & ~d.ConfigMask[k], 0) << "CONFIG byte " << k;
    }
}

TEST(Catalogue, LookupIgnoresCaseAndReturnsTheIndexInItsOwnTable)
{
    EXPECT_EQ(FindDevice("pic16f84a"), 51);
    EXPECT_EQ(FindDevice("PIC16F84A"), 51);
    EXPECT_EQ(FindDevice("PIC18F452"), 4);
    EXPECT_EQ(FindDevice("pic18f4550"), 20);
    EXPECT_EQ(FindDevice("<PIC18F>"), 0);
    EXPECT_EQ(FindDevice("<pic16/12/10f>"), 0);
    EXPECT_EQ(FindDevice("PIC10F200"), 1);
    EXPECT_EQ(FindDevice("PIC16F917"), 70);
    // Whole names only.
    EXPECT_EQ(FindDevice("PIC16F84A "), -1);
    EXPECT_EQ(FindDevice("PIC16F8"), -1);
    EXPECT_EQ(FindDevice("PIC16F999"), -1);
    EXPECT_EQ(FindDevice(""), -1);
}

TEST(Catalogue, SharedAndMissingDeviceIds)
{
    EXPECT_EQ(DeviceTable[FindDevice("PIC16F636")].DeviceId, 0x10A0);
    EXPECT_EQ(DeviceTable[FindDevice("PIC16F639")].DeviceId, 0x10A0);
    EXPECT_EQ(DeviceTable[FindDevice("PIC16F83")].DeviceId, 0);
    EXPECT_EQ(DeviceTable[FindDevice("PIC16F84")].DeviceId, 0);
    EXPECT_EQ(DeviceTable[0].DeviceId, 0xFFFF);
    EXPECT_EQ(DeviceTable18[0].DeviceId, 0xFFFF);
    EXPECT_EQ(DeviceTable[0].Name, Pic18SwitchName);
    EXPECT_EQ(DeviceTable18[0].Name, Pic16SwitchName);
}
