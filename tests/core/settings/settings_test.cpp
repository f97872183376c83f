#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>

#include "link/serial.h"
#include "settings/LineSettings.h"
#include "settings/PortDevicePath.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = testing::TempDir() + "settings-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        path = (dir / "tarnvik.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    void Put(const std::string &text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Contents()
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir;
    std::string path;
};

TEST_F(Settings, MissingFileGivesDefaults)
{
    SettingsFile s(path);
    EXPECT_TRUE(s.ReadBool("read", "smallblock", true));
    EXPECT_EQ(s.ReadInteger("window", "top", -7), -7);
    EXPECT_EQ(s.ReadString("rts-dtr", "wait", " 200"), " 200");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(Settings, NamesIgnoreCaseAndValuesLoseSurroundingBlanks)
{
    Put("[Device]\nGroup =  PIC18  \nNAME=pic16f84a\n[WINDOW]\nTop= 12 \n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadString("device", "group", ""), "PIC18");
    EXPECT_EQ(s.ReadString("DEVICE", "name", ""), "pic16f84a");
    EXPECT_EQ(s.ReadInteger("window", "top", 0), 12);
    EXPECT_EQ(s.ReadString("device", "other", "dflt"), "dflt");
}

TEST_F(Settings, IntegerAndBooleanFormats)
{
    Put("[v]\ndec=-42\nhex=0x1F\nup=0XfF\ndollar=$10\nbare=0x\njunk=12abc\nword=abc\nempty=\n"
        "big=99999999999\ntwo=2\nzero=0\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("v", "dec", 0), -42);
    EXPECT_EQ(s.ReadInteger("v", "hex", 0), 31);
    EXPECT_EQ(s.ReadInteger("v", "up", 0), 255);
    EXPECT_EQ(s.ReadInteger("v", "dollar", 0), 16);
    for (const char *bad : {"bare", "junk", "word", "empty", "big"})
        EXPECT_EQ(s.ReadInteger("v", bad, 5), 5) << bad;
    EXPECT_TRUE(s.ReadBool("v", "two", false));
    EXPECT_FALSE(s.ReadBool("v", "zero", true));
    EXPECT_TRUE(s.ReadBool("v", "word", true));
    EXPECT_FALSE(s.ReadBool("v", "word", false));
}

TEST_F(Settings, WritesGoToTheFileOnSaveAndKeepOtherKeys)
{
    Put("; kept\n[port]\nname=COM3\n");
    SettingsFile s(path);
    EXPECT_TRUE(s.WriteBool("port", "fixes", true));
    EXPECT_TRUE(s.WriteBool("read", "smallblock", false));
    EXPECT_TRUE(s.WriteInteger("window", "left", -15));
    EXPECT_TRUE(s.WriteString("rts-dtr", "wait", " 200"));
    EXPECT_TRUE(s.WriteString("PORT", "Name", "COM4\nfixes=0"));
    EXPECT_EQ(Contents(), "; kept\n[port]\nname=COM3\n"); // nothing written before the save
    EXPECT_EQ(s.ReadString("port", "name", ""), "COM4");
    ASSERT_TRUE(s.Save());
    std::string text = Contents();
    EXPECT_NE(text.find("fixes=1"), std::string::npos);
    EXPECT_NE(text.find("smallblock=0"), std::string::npos);
    EXPECT_NE(text.find("left=-15"), std::string::npos);
    EXPECT_NE(text.find("; kept"), std::string::npos);
    SettingsFile again(path);
    EXPECT_EQ(again.ReadString("port", "name", ""), "COM4");
    EXPECT_TRUE(again.ReadBool("port", "fixes", false));
    EXPECT_EQ(again.ReadString("rts-dtr", "wait", ""), "200");
    ASSERT_TRUE(s.WriteString("t", "long", std::string(3000, 'a')));
    EXPECT_EQ(s.ReadString("t", "long", "").size(), SettingsFile::MaxTextLength);
    // Parsed once: a change made by hand after the start is not seen, and is
    // replaced by what the program writes at exit.
    Put("[window]\nleft=3\n");
    EXPECT_EQ(s.ReadInteger("window", "left", 0), -15);
}

TEST_F(Settings, RefusedSavesAreReported)
{
    // A plain file where the settings folder should be: no user, root
    // included, can create a file inside it.
    std::ofstream(dir / "blocker") << "x";
    SettingsFile blocked((dir / "blocker" / "tarnvik.ini").string());
    blocked.WriteBool("port", "fixes", true);
    EXPECT_FALSE(blocked.Save());

    // A directory where the file should be.
    fs::create_directory(path);
    SettingsFile s(path);
    s.WriteInteger("window", "top", 1);
    EXPECT_FALSE(s.Save());
    EXPECT_TRUE(fs::is_directory(path));

    // A missing folder is created.
    SettingsFile nested((dir / "a" / "b" / "x.ini").string());
    nested.WriteInteger("window", "top", 1);
    EXPECT_TRUE(nested.Save());
}

TEST_F(Settings, FilesThatAreNoProfile)
{
    // A FIFO is neither waited on at the start nor replaced at exit.
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    {
        SettingsFile s(path);
        EXPECT_EQ(s.LoadState(), SettingsFile::State::Unreadable);
        EXPECT_EQ(s.ReadInteger("window", "top", 7), 7);
        EXPECT_FALSE(s.Save());
        EXPECT_TRUE(fs::is_fifo(path));
    }
    fs::remove(path);

    // Binary text cannot be parsed: defaults now, kept as .bad at the save.
    const std::string junk("[window]\ntop=5\n\0\xff\xfe", 17);
    Put(junk);
    {
        SettingsFile s(path);
        EXPECT_EQ(s.LoadState(), SettingsFile::State::Unparsable);
        EXPECT_EQ(s.ReadInteger("window", "top", 9), 9);
        s.WriteInteger("window", "top", 1);
        ASSERT_TRUE(s.Save());
    }
    std::ifstream bad(path + ".bad", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(bad), {}), junk);
    EXPECT_EQ(SettingsFile(path).ReadInteger("window", "top", 9), 1);

    // A huge file is looked at once, not once per key, and is no profile.
    Put("[window]\ntop=4\n" + std::string(2 << 20, ';'));
    SettingsFile huge(path);
    EXPECT_EQ(huge.LoadState(), SettingsFile::State::Unparsable);
    EXPECT_EQ(huge.ReadInteger("window", "top", 9), 9);
}

TEST_F(Settings, PathRule)
{
    std::string exe = (dir / "tarnvik").string();
    const char *oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    // A writable folder alone is no reason to write beside the program; a
    // file already there (a portable copy) is.
    EXPECT_EQ(SettingsPathFor(exe), dir.string() + "/tarnvik/tarnvik.ini");
    Put("");
    std::filesystem::rename(path, exe + ".ini");
    EXPECT_EQ(SettingsPathFor(exe), exe + ".ini");

    EXPECT_EQ(SettingsPathFor("/nonexistent-folder/tarnvik"), dir.string() + "/tarnvik/tarnvik.ini");
    EXPECT_EQ(SettingsPathFor(""), dir.string() + "/tarnvik/tarnvik.ini");
    unsetenv("XDG_CONFIG_HOME");
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : ".";
    EXPECT_EQ(SettingsPathFor("/nonexistent-folder/tarnvik"), home + "/.config/tarnvik/tarnvik.ini");
    if (oldXdg) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST_F(Settings, PortPaths)
{
    Put("[ports]\ncom3 = /dev/ttyXYZ\n");
    SettingsFile s(path);
    EXPECT_EQ(PortDevicePath(s, "COM1"), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(s, "COM3"), "/dev/ttyXYZ");
    EXPECT_EQ(PortDevicePath(s, "COM5"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(s, "COM8"), "/dev/ttyUSB3");
    EXPECT_EQ(PortDevicePath(s, "COM10"), "/dev/ttyACM1");
    for (const char *bad : {"COM0", "COM11", "COM01", "LPT1", "COM", "COMx"})
        EXPECT_EQ(PortDevicePath(s, bad), "") << bad;
}

} // namespace

namespace {

// Hand-edited [rts-dtr] keys mean one thing to both programs: the window's
// controls and the command line's lines are made from this one reading.
TEST_F(Settings, LineKeysReadOneWay)
{
    struct Case {
        const char *keys;
        bool enabled, rts, dtr;
        const char *waitText;
        int waitMs;
    };
    const Case cases[] = {
        {"enable=1\nrts=2\ndtr=1\nwait=0x1388\n", true, true, true, " 200", 200},
        {"enable=1\nrts=0\ndtr=-1\nwait=5000\n", true, false, true, "5000", 5000},
        {"enable=1\nrts=1\ndtr=0\nwait=  50 \n", true, true, false, "  50", 50},
        {"enable=1\nwait=123456\n", true, false, false, "9999", 9999},
        {"enable=1\nwait=abc\n", true, false, false, " 200", 200},
        {"enable=0\nrts=0\ndtr=1\nwait=5\n", false, true, false, " 200", 200},
    };
    for (const Case &c : cases) {
        Put(std::string("[rts-dtr]\n") + c.keys);
        const LineSettings line = ReadLineSettings(SettingsFile(path));
        EXPECT_EQ(line.enabled, c.enabled) << c.keys;
        EXPECT_EQ(line.rtsOn, c.rts) << c.keys;
        EXPECT_EQ(line.dtrOn, c.dtr) << c.keys;
        EXPECT_EQ(line.waitText, c.waitText) << c.keys;
        EXPECT_EQ(line.waitMs, c.waitMs) << c.keys;
    }
}

} // namespace
