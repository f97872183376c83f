// The Session's reports: what a load found and the checksum it gives, and
// how the start-up port was chosen.
#include <gtest/gtest.h>

#include <fstream>

#include "FrontEnd.h"
#include "Naming.h"
#include "Session.h"
#include "SimProcess.h"
#include "image/checksum.h"

namespace {

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

std::string Write(const std::string &name, const std::string &text)
{
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

// Every COM port leads nowhere but COM3, the board's.
std::string PortSettings(const std::string &board, const std::string &portSection)
{
    std::string text = "[ports]\n";
    for (int n = 1; n <= 10; ++n)
        text += "com" + std::to_string(n) + "=" + (n == 3 ? board : "/nonexistent/tty" + std::to_string(n)) + "\n";
    return Write("session_ports.ini", text + portSection);
}

} // namespace

TEST(Session, LoadReportsWhatTheFileHeldAndTheChecksum)
{
    QuietFrontEnd ui;
    Session session(Write("session_load.ini", ""), ui);
    ASSERT_TRUE(session.SelectDevice("pic16f877a").Ok());
    EXPECT_FALSE(session.SelectDevice("PIC99X1").Ok());
    const std::string clean = Write("session_clean.hex", ":0400000083168312CE\n:00000001FF\n");
    const LoadReport report = session.Load(clean, LoadMode::New, false);
    EXPECT_TRUE(report.cleared);
    EXPECT_FALSE(report.Damaged());
    EXPECT_TRUE(report.findings.Empty());
    EXPECT_EQ(report.file, clean);
    EXPECT_EQ(session.File(), clean);
    ASSERT_TRUE(report.checksum);
    EXPECT_EQ(*report.checksum, ImageChecksum(session.Buffer(), session.Device()));

    // A line that is no record is skipped and makes the file damaged; data
    // past the part's program memory is a finding.
    const LoadReport damaged =
        session.Load(Write("session_damaged.hex", ":0400000083168312CE\nnot a record\n:02F00000FF3FD0\n:00000001FF\n"),
                     LoadMode::New, false);
    EXPECT_EQ(damaged.read.Skipped, 1);
    EXPECT_TRUE(damaged.Damaged());
    EXPECT_FALSE(damaged.findings.Empty());
}

TEST(Session, StartingPortIsTheFixedOneElseTheSearch)
{
    SimProcess board({});
    ASSERT_FALSE(board.Path().empty());
    QuietFrontEnd ui;
    {
        Session session(PortSettings(board.Path(), "[port]\nfixes=1\nname=COM3\n"), ui);
        const PortChoice choice = session.StartingChoice();
        EXPECT_EQ(choice.how, PortHow::Fixed);
        const PortChosen chosen = session.OpenPort(choice);
        EXPECT_TRUE(chosen.opened);
        EXPECT_EQ(chosen.port, "COM3");
        EXPECT_TRUE(session.Port().IsOpen());
    }
    {
        // A fixed port without a name opens nothing, and searches nothing.
        Session session(PortSettings(board.Path(), "[port]\nfixes=1\n"), ui);
        const PortChosen chosen = session.OpenPort(session.StartingChoice());
        EXPECT_EQ(chosen.choice.how, PortHow::Fixed);
        EXPECT_FALSE(chosen.opened);
        EXPECT_FALSE(session.Port().IsOpen());
    }
    {
        Session session(PortSettings(board.Path(), "[port]\nfixes=0\nname=COM1\n"), ui);
        const PortChoice choice = session.StartingChoice();
        EXPECT_EQ(choice.how, PortHow::Searched);
        const PortChosen chosen = session.OpenPort(choice);
        EXPECT_EQ(chosen.searchResult, 0);
        EXPECT_EQ(chosen.port, "COM3");
        EXPECT_TRUE(chosen.opened);
        // The check passes on the port the search found.
        ASSERT_TRUE(session.SelectDevice("PIC16F877A").Ok());
        const CheckReport check = session.Check({});
        EXPECT_TRUE(check.result.Ok());
        EXPECT_TRUE(check.reachedChip);
    }
}

TEST(Session, SharedRules)
{
    EXPECT_EQ(FileBaseName("/a/b/c.hex"), "c.hex");
    EXPECT_EQ(SelectedDeviceName(FindCatalogueDevice("pic16f877a")), "PIC16F877A");
    EXPECT_EQ(SelectedDeviceName({false, -1}), "");
    EXPECT_EQ(CalibrationWord("3412"), 0x3412);
    EXPECT_EQ(CalibrationWord("341"), std::nullopt);
}
