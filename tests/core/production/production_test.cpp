// Serial-number placement, the number stock and its state file, the CSV
// log and the gang runner, without a programmer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "production/ChipHook.h"
#include "production/ProductionLog.h"
#include "production/SerialList.h"
#include "production/SerialNumber.h"
#include "production/SerialState.h"
#include "production/gang.h"

namespace {

struct TempFolder {
    std::filesystem::path path;
    TempFolder()
    {
        path = std::filesystem::path(testing::TempDir()) /
               ("production_" + std::to_string(getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string File(const std::string &name) const { return (path / name).string(); }
};

std::vector<std::string> ReadLines(const std::string &path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

SerialTarget Target(const char *name)
{
    for (const TDeviceSpec &d : DeviceTable)
        if (std::string(d.Name) == name) return {&d, nullptr};
    for (const TDeviceSpec18 &d : DeviceTable18)
        if (std::string(d.Name) == name) return {nullptr, &d};
    return {};
}

MemoryBuffer Blank(const SerialTarget &t)
{
    MemoryBuffer b;
    if (t.device18)
        b.Clear(*t.device18);
    else
        b.Clear(*t.device);
    return b;
}

} // namespace

TEST(SerialNumber, EncodingsLowByteFirstAndReadBack)
{
    struct Case {
        const char *device;
        SerialFormat format;
        uint32_t address;
        int bytes;
        uint64_t number;
        std::vector<uint16_t> cells; // expected, from the place on
    };
    const Case cases[] = {
        {"PIC16F877A", SerialFormat::Retlw, 0x1F00, 3, 0xABCDEF, {0x34EF, 0x34CD, 0x34AB}},
        {"PIC10F200", SerialFormat::Retlw, 0x0010, 2, 0x1234, {0x0834, 0x0812}},
        {"PIC16F877A", SerialFormat::Word, 0x0100, 3, 0xABCDEF, {0x0DEF, 0x02AF}},
        {"PIC10F200", SerialFormat::Word, 0x0020, 3, 0xABCDEF, {0x0DEF, 0x0ABC}},
        {"PIC16F877A", SerialFormat::Eeprom, 0x2110, 2, 0xBEEF, {0x00EF, 0x00BE}},
        {"PIC18F452", SerialFormat::Retlw, 0x0200, 2, 0x1234, {0x34, 0x0C, 0x12, 0x0C}},
        {"PIC18F452", SerialFormat::Eeprom, 0x0004, 8, 0x0102030405060708, {8, 7, 6, 5, 4, 3, 2, 1}},
        // Digits as characters, the first digit first, padded with '0'.
        {"PIC16F877A", SerialFormat::Ascii, 0x1F00, 4, 42, {0x3430, 0x3430, 0x3434, 0x3432}},
        {"PIC18F452", SerialFormat::Ascii, 0x0200, 2, 97, {'9', 0x0C, '7', 0x0C}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.device) + " " + SerialFormatName(c.format));
        const SerialTarget t = Target(c.device);
        MemoryBuffer image = Blank(t);
        const SerialLayout layout{c.format, c.address, c.bytes, false};
        ASSERT_EQ(CheckSerialPlace(layout, t, image), "");
        PlaceSerial(layout, t, c.number, image);
        for (size_t i = 0; i < c.cells.size(); ++i) {
            uint16_t got;
            if (!t.device18)
                got = image.Words[c.address + i];
            else if (c.format == SerialFormat::Eeprom)
                got = image.EEData18[c.address + i];
            else
                got = image.Program18[c.address + i];
            EXPECT_EQ(got, c.cells[i]) << "cell " << i;
        }
        EXPECT_EQ(ReadSerial(layout, t, image), c.number);
    }
}

TEST(SerialNumber, RefusesPlacesOutsideMemoryOrOverData)
{
    struct Case {
        const char *device;
        SerialFormat format;
        uint32_t address;
        int bytes;
        const char *reason; // part of the refusal
    };
    const Case cases[] = {
        {"PIC16F877A", SerialFormat::Retlw, 0x1FFE, 4, "does not fit in the program memory"},
        {"PIC12F675", SerialFormat::Retlw, 0x03FC, 4, "does not fit"}, // 0x3FF is the calibration word
        {"PIC10F200", SerialFormat::Eeprom, 0, 1, "has no data EEPROM"},
        {"PIC16F84A", SerialFormat::Eeprom, 0x3F, 2, "does not fit in the 64-byte data EEPROM"},
        {"PIC18F452", SerialFormat::Word, 0x0101, 2, "even address"},
        {"PIC16F877A", SerialFormat::Word, 0x0000, 2, "overwrite data of the file at 0x0001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.device);
        const SerialTarget t = Target(c.device);
        MemoryBuffer image = Blank(t);
        image.Words[1] = 0x2805; // the file's code
        EXPECT_NE(CheckSerialPlace({c.format, c.address, c.bytes, false}, t, image).find(c.reason),
                  std::string::npos)
            << CheckSerialPlace({c.format, c.address, c.bytes, false}, t, image);
    }
    // Overwriting is allowed when asked for; the size limits stay.
    const SerialTarget t = Target("PIC16F877A");
    MemoryBuffer image = Blank(t);
    image.Words[1] = 0x2805;
    EXPECT_EQ(CheckSerialPlace({SerialFormat::Word, 0, 2, true}, t, image), "");
    EXPECT_NE(CheckSerialPlace({SerialFormat::Retlw, 0x1FFE, 4, true}, t, image), "");

    uint64_t start = 0, step = 0;
    EXPECT_TRUE(ParseSerialStart("0x100:5", start, step));
    EXPECT_EQ(start, 0x100u);
    EXPECT_EQ(step, 5u);
    for (const char *bad : {"", "12:", "12:0", "x1", "1:2:3", "-4", "99999999999999999999"})
        EXPECT_FALSE(ParseSerialStart(bad, start, step)) << bad;
    EXPECT_EQ(SerialMaximum(2), 0xFFFFu);
    EXPECT_EQ(SerialMaximum(8), UINT64_MAX);
}

TEST(SerialState, FailedChipsNumberGoesToTheNextChipAndARestartContinues)
{
    TempFolder dir;
    const std::string state = dir.File("serial.state");
    std::string error;
    {
        SerialAllocator a(100, 10);
        ASSERT_TRUE(a.UseStateFile(state, true, error)) << error;
        EXPECT_EQ(a.Take(error), 100u);
        EXPECT_EQ(a.Take(error), 110u);
        ASSERT_TRUE(a.GiveBack(100, error));
        ASSERT_TRUE(a.Consume(110, error));
        EXPECT_EQ(a.Take(error), 100u);
        ASSERT_TRUE(a.Consume(100, error));
    }
    // A restart: the file's numbers win over a start given again.
    SerialAllocator b(100, 10);
    ASSERT_TRUE(b.UseStateFile(state, true, error)) << error;
    EXPECT_TRUE(b.FromFile());
    EXPECT_EQ(b.Take(error), 120u);
    EXPECT_EQ(b.Stock().used, 2u);

    // A missing file needs a start; a file that is not a state file is left alone.
    SerialAllocator c(0, 1);
    EXPECT_FALSE(c.UseStateFile(dir.File("missing"), false, error));
    std::ofstream(dir.File("other")) << "hello\n";
    EXPECT_FALSE(c.UseStateFile(dir.File("other"), true, error));
    EXPECT_EQ(ReadLines(dir.File("other")), std::vector<std::string>{"hello"});

    SerialStock stock;
    stock.spent = true;
    stock.givenBack = {3, 9};
    SerialStock back;
    ASSERT_TRUE(ParseSerialStock(SerialStockText(stock), back));
    EXPECT_TRUE(back.spent);
    EXPECT_EQ(back.givenBack, stock.givenBack);
}

// A list's numbers go out in its order, a failed chip's number goes to the
// next chip, the state file keeps the place, and the end is said plainly.
TEST(SerialState, AListIsHandedOutOnceInItsOrder)
{
    std::vector<uint64_t> list;
    std::string error;
    EXPECT_FALSE(ParseSerialList("7\n0x10\n7\n", list, error));
    EXPECT_EQ(error, "line 3 repeats 7 of line 1: a number goes to one chip only");
    EXPECT_FALSE(ParseSerialList("7\nseven\n", list, error));
    EXPECT_FALSE(ParseSerialList("# none yet\n\n", list, error));
    ASSERT_TRUE(ParseSerialList("# batch 4\n1001\r\n 0x3EA \n\n1003\n", list, error)) << error;
    EXPECT_EQ(list, (std::vector<uint64_t>{1001, 1002, 1003}));

    TempFolder dir;
    const std::string state = dir.File("serial.state");
    {
        SerialAllocator a(0, 1);
        a.UseList(list, "batch4.txt");
        ASSERT_TRUE(a.UseStateFile(state, true, error)) << error;
        EXPECT_EQ(a.Take(error), 1001u);
        EXPECT_EQ(a.Take(error), 1002u);
        ASSERT_TRUE(a.GiveBack(1001, error));
        ASSERT_TRUE(a.Consume(1002, error));
    }
    SerialAllocator b(0, 1);
    b.UseList(list, "batch4.txt");
    ASSERT_TRUE(b.UseStateFile(state, true, error)) << error;
    EXPECT_EQ(b.Take(error), 1001u);
    EXPECT_EQ(b.Take(error), 1003u);
    EXPECT_EQ(b.Take(error), std::nullopt);
    EXPECT_EQ(error, "the serial list batch4.txt is used up: all 3 numbers are on chips");

    // The place belongs to its list: counted numbers or another list refuse it.
    SerialAllocator counted(1, 1);
    EXPECT_FALSE(counted.UseStateFile(state, true, error));
    SerialAllocator other(0, 1);
    other.UseList(list, "batch5.txt");
    EXPECT_FALSE(other.UseStateFile(state, true, error));
    EXPECT_EQ(error, state + " keeps the place in the serial list batch4.txt, not batch5.txt");
}

TEST(SerialState, RunsSharingOneFileNeverDrawTheSameNumber)
{
    TempFolder dir;
    const std::string state = dir.File("serial.state");
    std::string error;
    SerialAllocator(1, 1).UseStateFile(state, true, error);
    std::vector<uint64_t> drawn[2];
    std::vector<std::thread> runs;
    for (int r = 0; r < 2; ++r)
        runs.emplace_back([&, r] {
            SerialAllocator a(0, 1);
            std::string why;
            if (!a.UseStateFile(state, false, why)) return;
            for (int i = 0; i < 20; ++i) {
                const auto n = a.Take(why);
                if (!n) return;
                // Every third chip fails and hands its number on.
                if (i % 3 == 0)
                    a.GiveBack(*n, why);
                else
                    drawn[r].push_back(*n), a.Consume(*n, why);
            }
        });
    for (std::thread &t : runs)
        t.join();
    std::set<uint64_t> all(drawn[0].begin(), drawn[0].end());
    all.insert(drawn[1].begin(), drawn[1].end());
    EXPECT_EQ(all.size(), drawn[0].size() + drawn[1].size());
    EXPECT_EQ(drawn[0].size() + drawn[1].size(), 26u);
}

TEST(ProductionLog, HeaderOnceWholeRowsFromTwoWriters)
{
    TempFolder dir;
    const std::string path = dir.File("log.csv");
    std::vector<std::thread> runs;
    for (int r = 0; r < 2; ++r)
        runs.emplace_back([&, r] {
            ProductionLog log;
            std::string error;
            if (!log.Open(path, error)) return;
            for (int i = 0; i < 50; ++i)
                log.Append({0,
                            "COM" + std::to_string(r),
                            "PIC16F877A",
                            "0E22",
                            std::to_string(i),
                            "ok",
                            0x1234ABCD,
                            1500,
                            std::nullopt,
                            {}},
                           error);
        });
    for (std::thread &t : runs)
        t.join();
    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[0], ProductionLogHeader);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find(",PIC16F877A,0E22,"), std::string::npos) << lines[i];

    ChipRecord odd{0, "/dev/tty,\"x\"", "PIC10F200", "", "", "link lost", 0, 7, std::nullopt, {}};
    const std::string row = ChipRecordRow(odd);
    EXPECT_NE(row.find(",\"/dev/tty,\"\"x\"\"\",PIC10F200,,,link lost,00000000,7"), std::string::npos) << row;
    // The checksum and the link error are the last columns, empty without
    // them, so that the rows of a log begun before them keep their first
    // eight columns.
    EXPECT_EQ(row.substr(row.size() - 4), ",7,,") << row;
    odd.checksum = 0x0E3C;
    odd.linkError = "echo";
    EXPECT_EQ(ChipRecordRow(odd).substr(row.size() - 1), "0E3C,echo");

    const std::string check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t *>(check.data()), check.size()), 0xCBF43926u);
}

// A log begun with an older header keeps it: its new rows have its columns
// where they were, the newer ones after them.
TEST(ProductionLog, AnOlderLogKeepsItsHeaderAndColumns)
{
    TempFolder dir;
    const std::string path = dir.File("old.csv");
    const std::string older = "time,port,device,device_id,serial,result,image_crc32,elapsed_ms";
    std::ofstream(path) << older << "\n";
    ProductionLog log;
    std::string error;
    ASSERT_TRUE(log.Open(path, error)) << error;
    ASSERT_TRUE(log.Append({0, "COM1", "PIC16F877A", "", "", "link lost", 1, 7, 0x0E3C, "echo"}, error));
    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], older);
    EXPECT_NE(lines[1].find(",COM1,PIC16F877A,,,link lost,00000001,7,0E3C,echo"), std::string::npos)
        << lines[1];
}

// A log whose last row lacks its line end (edited by hand, written by
// another program): each new row still starts a line of its own.
TEST(ProductionLog, ALogWithoutAFinalLineEndGetsRowsOnTheirOwnLines)
{
    TempFolder dir;
    for (const std::string ending : {"", "\r"}) {
        const std::string path = dir.File("unended" + std::to_string(ending.size()) + ".csv");
        std::ofstream(path) << ProductionLogHeader << "\nlast,row" << ending;
        ProductionLog log;
        std::string error;
        ASSERT_TRUE(log.Open(path, error)) << error;
        ASSERT_TRUE(log.Append({0, "COM1", "PIC16F877A", "", "", "ok", 1, 7, std::nullopt, {}}, error));
        ASSERT_TRUE(log.Append({0, "COM2", "PIC16F877A", "", "", "ok", 1, 7, std::nullopt, {}}, error));
        const auto lines = ReadLines(path);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[1], "last,row" + ending);
        EXPECT_NE(lines[2].find(",COM1,"), std::string::npos) << lines[2];
        EXPECT_NE(lines[3].find(",COM2,"), std::string::npos) << lines[3];
    }
}

TEST(Gang, PortsRunTogetherAndOneFailingPortStopsNoOther)
{
    // Port 0 waits for port 3: run one after the other they would never end.
    std::atomic<bool> lastStarted{false};
    const std::vector<int> statuses = RunGang(
        4,
        [&](size_t i) -> int {
            if (i == 0)
                while (!lastStarted)
                    std::this_thread::yield();
            if (i == 1) throw std::runtime_error("port gone");
            if (i == 3) lastStarted = true;
            return i == 2 ? 2 : 0;
        },
        70);
    EXPECT_EQ(statuses, (std::vector<int>{0, 70, 2, 0}));
    EXPECT_EQ(WorstStatus(statuses), 70);
    EXPECT_EQ(WorstStatus({}), 0);

    RunTotals totals({"COM3", "COM4"});
    totals.Add(0, true);
    totals.Add(1, false);
    totals.Add(1, true);
    EXPECT_EQ(totals.Lines(), (std::vector<std::string>{"passed 2, failed 1", "  COM3: passed 1, failed 0",
                                                        "  COM4: passed 1, failed 1"}));
}

TEST(Gang, NextRoundAnswers)
{
    const std::string endless(NextRoundInputMax + 1, '\0');
    const struct {
        std::string input;
        std::vector<NextRound> answers; // one call each, the last at the end of input
    } cases[] = {
        {"\n  Q \nnext\n \t\n",
         {NextRound::Again, NextRound::Stop, NextRound::Unclear, NextRound::Again, NextRound::Stop}},
        {"quit\nexit\nstop\nq\n",
         {NextRound::Unclear, NextRound::Unclear, NextRound::Unclear, NextRound::Stop}},
        // Over-long: read to its end, not kept; the next line is the next answer.
        {std::string(NextRoundLineMax + 1, 'x') + "\n\n",
         {NextRound::Unclear, NextRound::Again, NextRound::Stop}},
        {endless, {NextRound::Stop}},
    };
    TempFolder dir;
    for (const auto &c : cases) {
        const std::string path = dir.File("answers");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.input;
        const int fd = open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        for (size_t i = 0; i < c.answers.size(); ++i)
            EXPECT_EQ(WaitForNextRound(fd, {}), c.answers[i]) << c.input.substr(0, 20) << " #" << i;
        close(fd);
    }
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    EXPECT_EQ(WaitForNextRound(p[0], [] { return true; }), NextRound::Stop);
    close(p[1]);
    close(p[0]);
}

TEST(ChipHook, WordsWithoutAShellAndEveryWayToFail)
{
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(SplitCommandWords(R"(lp -d "label printer" 'it''s' a\ b $HOME)", words, error));
    EXPECT_EQ(words, (std::vector<std::string>{"lp", "-d", "label printer", "its", "a b", "$HOME"}));
    EXPECT_FALSE(SplitCommandWords("echo 'open", words, error));
    EXPECT_FALSE(SplitCommandWords("  ", words, error));

    HookRun run = RunHook({"sh", "-c", "echo $TARNVIK_SERIAL; exit 3"}, {{"TARNVIK_SERIAL", "42"}}, 5000);
    EXPECT_EQ(run.output, "42\n");
    EXPECT_EQ(HookFailure(run), "failed with exit status 3");
    run = RunHook({"tarnvik-no-such-hook"}, {}, 5000);
    EXPECT_EQ(HookFailure(run), "could not be started: tarnvik-no-such-hook: No such file or directory");
    // Killed at the limit, with what it started in the background.
    run = RunHook({"sh", "-c", "sleep 30 & sleep 30"}, {}, 200);
    EXPECT_TRUE(run.timedOut);
    EXPECT_EQ(HookFailure(run), "did not end in time and was stopped");
}
