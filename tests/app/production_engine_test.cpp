// The production engine with Session chips on a gang of tarnbox-sim boards:
// the log's rows and the serial state a run of rounds leaves behind.
#include <gtest/gtest.h>

#include <sstream>

#include "FrontEnd.h"
#include "ProductionEngine.h"
#include "Session.h"
#include "SessionChip.h"
#include "SimProcess.h"
#include "image/checksum.h"
#include "production/ProductionLog.h"
#include "support/textutil.h"
#include "test_files.h"

namespace {

const std::string Fixture = std::string(TARNVIK_HEX_FIXTURES) + "/p16f877a.hex";

struct QuietFrontEnd : FrontEnd {
    struct NoBar : ProgressBar {
        void SetRange(int, int) override {}
        void StepIt() override {}
        void SetPosition(int) override {}
    } bar;
    void SetStatus(const std::string &) override {}
    void AddLog(const std::string &) override {}
    void AddLogShowingMessages(const std::string &) override {}
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar; }
    ProgressBar &DialogProgress() override { return bar; }
    void ShowMessage(const std::string &) override {}
    void ProcessMessages() override {}
};

struct Recorder : ProductionListener {
    int rounds = 0;
    std::vector<ProductionProblem> problems;
    void RoundRecorded(const std::vector<ChipResult> &) override { ++rounds; }
    void Problem(const ProductionError &e) override { problems.push_back(e.problem); }
};

// The log's rows after the header, without the time and elapsed columns.
std::vector<std::string> Rows(const std::string &path)
{
    std::vector<std::string> rows;
    std::istringstream in(ReadAll(path));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, ProductionLogHeader);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        if (line.back() == ',') f.emplace_back();
        EXPECT_EQ(f.size(), 10u) << line;
        f.resize(10);
        rows.push_back(f[1] + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[5] + "," + f[6] + "," + f[8] + "," +
                       f[9]);
    }
    return rows;
}

} // namespace

// The second board holds another part: its chip is refused each round and
// gives its number back to the first board's next chip.
TEST(ProductionEngine, SessionChipsRecordRowsAndSerialState)
{
    SimProcess good({"--chip", "PIC16F877A"}), other({"--chip", "PIC16F628A"});
    ASSERT_FALSE(good.Path().empty());
    ASSERT_FALSE(other.Path().empty());
    TempDir dir;
    QuietFrontEnd loaderUi;
    ProductionPlan plan;
    plan.settingsPath = dir.Write("empty.ini", "");
    Session loader(plan.settingsPath, loaderUi);
    ASSERT_TRUE(loader.SelectDevice("PIC16F877A").Ok());
    loader.Load(Fixture, LoadMode::New, false);
    plan.file = Fixture;
    plan.device = loader.Device();
    plan.ports = {good.Path(), other.Path()};
    plan.erase = true;
    plan.serial = true;
    plan.serialLayout.address = 0x1F00;
    plan.serialStart = 7;
    plan.serialStartGiven = true;
    plan.serialState = dir.File("serial.state");
    plan.log = dir.File("log.csv");

    QuietFrontEnd uis[2];
    SessionChip chip(plan, [&uis](size_t port) -> FrontEnd & { return uis[port]; });
    Recorder recorder;
    ProductionEngine engine(plan, loader.Buffer(), chip, recorder);
    ASSERT_EQ(engine.Open(), 0);
    for (int round = 0; round < 3; ++round)
        EXPECT_TRUE(engine.RunRound());
    EXPECT_EQ(recorder.rounds, 3);
    EXPECT_TRUE(recorder.problems.empty());
    EXPECT_EQ(engine.Worst(), 2);
    EXPECT_EQ(engine.Totals().Passed(), 3);
    EXPECT_EQ(engine.Totals().Failed(), 3);

    const std::string crc = Hex(ImageCrc32(loader.Buffer(), false), 8);
    const std::string sum = Hex(ImageChecksum(loader.Buffer(), plan.device), 4);
    const std::vector<std::string> rows = Rows(plan.log);
    ASSERT_EQ(rows.size(), 6u);
    std::vector<std::string> expected;
    for (int serial : {7, 8, 9}) {
        const std::string image = "," + crc + "," + sum + ",";
        expected.push_back(good.Path() + ",PIC16F877A,0E20 rev 2," + std::to_string(serial) + ",ok" + image);
        // The refused chip's own DEVICE-ID is read, and the row names it.
        expected.push_back(other.Path() + ",PIC16F877A,1060 rev 2," + std::to_string(serial + 1) + ",refused" +
                           image);
    }
    EXPECT_EQ(rows, expected);

    // Three numbers kept, the refused chip's last one waiting for the next.
    SerialStock stock;
    ASSERT_TRUE(ParseSerialStock(ReadAll(plan.serialState), stock));
    EXPECT_EQ(stock.next, 11u);
    EXPECT_EQ(stock.givenBack, (std::set<uint64_t>{10}));
    EXPECT_EQ(stock.used, 3u);
}
