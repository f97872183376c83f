// The catalogue against an independent transcription of the device tables
// (decimal values, configuration bytes as hex strings), field by field.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "catalogue/DeviceSpec.h"
#include "support/textutil.h"

namespace {

using Row = std::map<std::string, std::string>;

std::vector<Row> ReadCsv(const std::string &path)
{
    std::ifstream in(path);
    std::vector<std::string> header;
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');)
            cells.push_back(TrimBlanks(cell));
        if (header.empty()) {
            header = cells;
        } else if (!cells.empty()) {
            EXPECT_EQ(cells.size(), header.size()) << line;
            Row row;
            for (size_t i = 0; i < std::min(header.size(), cells.size()); ++i)
                row[header[i]] = cells[i];
            rows.push_back(row);
        }
    }
    return rows;
}

Row::value_type Field(const char *name, unsigned value)
{
    return {name, std::to_string(value)};
}

#define FIELD(f) Field(#f, d.f)

Row Fields(const TDeviceSpec &d)
{
    return {{"Name", d.Name},        FIELD(DeviceId),        FIELD(UserIdAddress),  FIELD(EntryMode),
            FIELD(BlankWord),        FIELD(ProgramSize),     FIELD(EEDataSize),     FIELD(ConfigAreaSize),
            FIELD(ConfigAddress1),   FIELD(ConfigAddress2),  FIELD(ConfigMask1),    FIELD(ConfigMask2),
            FIELD(CalibAddress1),    FIELD(CalibAddress2),   FIELD(CalibMask1),     FIELD(CalibMask2),
            FIELD(ProgramAlgorithm), FIELD(ConfigAlgorithm), FIELD(ProgramWait),    FIELD(EEDataWait),
            FIELD(ConfigWait),       FIELD(LatchCount),      FIELD(EraseAlgorithm), FIELD(EraseWait),
            FIELD(ConfigBaseBits)};
}

Row Fields(const TDeviceSpec18 &d)
{
    auto bytes = [](const std::array<uint8_t, 14> &a) {
        std::string s;
        for (uint8_t b : a)
            s += Hex(b, 2);
        return s;
    };
    return {{"Name", d.Name},
            FIELD(DeviceId),
            FIELD(ProgramSize),
            FIELD(EEDataSize),
            FIELD(WriteBufferSize),
            FIELD(EraseKind),
            Field("Options byte", d.Options),
            FIELD(PanelCount),
            FIELD(PanelSize),
            FIELD(ProgramWait),
            Field("Spare wait", d.SpareWait),
            FIELD(ConfigWait),
            FIELD(IdWait),
            FIELD(EraseWait),
            {"ConfigMask", bytes(d.ConfigMask)},
            {"ConfigDefault", bytes(d.ConfigDefault)}};
}

#undef FIELD

template <typename Table> void CompareWithTranscription(const Table &table, const std::string &csv)
{
    std::vector<Row> rows = ReadCsv(csv);
    ASSERT_EQ(rows.size(), table.size()) << csv;
    for (size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r]["row"], std::to_string(r));
        Row fields = Fields(table[r]);
        EXPECT_EQ(rows[r].size(), fields.size() + 1) << "a column of " << csv << " is not checked";
        for (const auto &[column, value] : fields)
            EXPECT_EQ(value, UpperCase(rows[r][column])) << table[r].Name << " (row " << r << "): " << column;
    }
}

} // namespace

TEST(Catalogue, EveryRowMatchesTheTranscription)
{
    CompareWithTranscription(DeviceTable, TARNVIK_TEST_DATA "/device_table.csv");
    CompareWithTranscription(DeviceTable18, TARNVIK_TEST_DATA "/device_table18.csv");
}

TEST(Catalogue, LookupIgnoresCaseAndReturnsTheIndexInItsOwnTable)
{
    EXPECT_EQ(FindDevice("pic16f84a"), 51);
    EXPECT_EQ(FindDevice("PIC18F452"), 4);
    EXPECT_EQ(FindDevice("pic18f4550"), 20);
    EXPECT_EQ(FindDevice("<PIC18F>"), 0);
    EXPECT_EQ(FindDevice("<pic16/12/10f>"), 0);
    EXPECT_EQ(FindDevice("PIC16F917"), 70);
    for (const char *missing : {"PIC16F84A ", "PIC16F8", "PIC16F999", ""})
        EXPECT_EQ(FindDevice(missing), -1);
    EXPECT_EQ(DeviceTable[FindDevice("PIC16F636")].DeviceId, DeviceTable[FindDevice("PIC16F639")].DeviceId);
}
