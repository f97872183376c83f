#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include <fstream>
#include <regex>
#include <sstream>

#include "link/WireTrace.h"
#include "link/discovery.h"
#include "fakes.h"
#include "test_files.h"

namespace {

struct PortFixture {
    ScriptedBackend *line = new ScriptedBackend;
    SerialPort port{std::unique_ptr<SerialBackend>(line)};
};

TEST(SerialPort, OpenStepsWithCtrlOffAndOn)
{
    PortFixture f;
    EXPECT_EQ(f.port.OpenPort("COM10"), 0);
    EXPECT_EQ(f.port.PortNumber(), 10);
    EXPECT_EQ(f.port.PortName(), "COM10");
    EXPECT_EQ(f.line->events, (std::vector<std::string>{"open COM10", "purge out", "purge in", "clear",
                                                        "line", "timeouts 200 200"}));

    PortFixture g;
    ModemOptions ctrl{true, true, true, false, 200};
    EXPECT_EQ(g.port.OpenPort("COM3", ctrl), 0);
    EXPECT_EQ(g.port.PortNumber(), 3);
    std::vector<std::string> tail(g.line->events.begin() + 6, g.line->events.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"rts on", "dtr off", "pause 200", "purge out", "purge in", "clear"}));

    PortFixture h;
    h.port.OpenPort("COM3", ModemOptions{true, true, false, true, 0});
    EXPECT_EQ(h.line->events[6], "rts off");
    EXPECT_EQ(h.line->events[8], "pause 0");
}

TEST(SerialPort, ReopenClosesFirstAndAFailedOpenLeavesNothingOpen)
{
    PortFixture f;
    f.port.OpenPort("COM2");
    f.line->events.clear();
    f.line->openOk = false;
    EXPECT_EQ(f.port.OpenPort("COM4"), -1);
    EXPECT_EQ(f.line->events, (std::vector<std::string>{"close", "open COM4"}));
    EXPECT_FALSE(f.port.IsOpen());
    EXPECT_EQ(f.port.PortNumber(), 0);
    EXPECT_EQ(f.port.LastError(), "COM4: refused");
}

// A port that exists but may not be opened is told apart from one that is
// missing, in the probe too; a later open that fails for another reason, or
// that reaches no device at all, does not keep the old reason.
TEST(SerialPort, PermissionDeniedIsNotMissing)
{
    struct Case {
        int error;
        PortState state;
    } cases[] = {{EACCES, PortState::Denied}, {EPERM, PortState::Denied}, {ENOENT, PortState::Missing},
                 {EBUSY, PortState::Busy}, {ENOTTY, PortState::Missing}};
    for (const Case &c : cases) {
        PortFixture f;
        TCommand cmd;
        RecordingFrontEnd ui;
        Link link{f.port, cmd, ui};
        f.line->openOk = false;
        f.line->openErrno = c.error;
        EXPECT_EQ(ProbePort(link, "COM2"), c.state) << c.error;
        EXPECT_EQ(f.port.LastOpenErrno(), c.error);
    }
    auto *line = new ScriptedBackend;
    SerialPort port(std::unique_ptr<SerialBackend>(line),
                    [](const std::string &name) { return name == "COM2" ? std::string("dev2") : std::string(); });
    line->openOk = false;
    line->openErrno = EACCES;
    EXPECT_EQ(port.OpenPort("COM2"), -1);
    EXPECT_EQ(port.LastOpenErrno(), EACCES);
    EXPECT_EQ(port.OpenPort("COM3"), -1); // no device assigned
    EXPECT_EQ(port.LastOpenErrno(), 0);
    line->openOk = true;
    EXPECT_EQ(port.OpenPort("COM2"), 0);
    EXPECT_EQ(port.LastOpenErrno(), 0);
}

TEST(SerialPort, NameWithoutNumberDoesNotStayOpen)
{
    PortFixture f;
    EXPECT_EQ(f.port.OpenPort("COMx"), -1);
    EXPECT_FALSE(f.port.IsOpen());
    EXPECT_FALSE(f.line->valid);
    EXPECT_EQ(f.port.OpenPort("COM"), -1);
    EXPECT_FALSE(f.line->valid);
}

TEST(SerialPort, CloseResults)
{
    PortFixture f;
    EXPECT_EQ(f.port.ClosePort(), -1);
    f.port.OpenPort("COM1");
    EXPECT_EQ(f.port.ClosePort(), 0);
    EXPECT_EQ(f.port.ClosePort(), -1);

    f.port.OpenPort("COM1");
    f.line->closeOk = false;
    EXPECT_EQ(f.port.ClosePort(), -1);
    EXPECT_TRUE(f.port.IsOpen());
    EXPECT_EQ(f.port.PortNumber(), 0);
    f.line->valid = false;
    EXPECT_EQ(f.port.ClosePort(), -2);
    EXPECT_FALSE(f.port.IsOpen());
}

TEST(SerialPort, ModemLineOnlyOnAnOpenPort)
{
    PortFixture f;
    f.port.ApplyModemLine(ModemLine::DTR, true);
    EXPECT_TRUE(f.line->events.empty());
    f.port.OpenPort("COM1");
    f.line->events.clear();
    f.port.ApplyModemLine(ModemLine::DTR, true);
    EXPECT_EQ(f.line->events, (std::vector<std::string>{"dtr on", "purge out", "purge in", "clear"}));
}

TEST(SerialPort, ResolverMapsNamesAndAnUnknownNameFails)
{
    ScriptedBackend *line = new ScriptedBackend;
    SerialPort port(std::unique_ptr<SerialBackend>(line), [](const std::string &name) {
        return name == "COM5" ? std::string("/dev/ttyUSB0") : "";
    });
    EXPECT_EQ(port.OpenPort("COM5"), 0);
    EXPECT_EQ(line->events.front(), "open /dev/ttyUSB0");
    EXPECT_EQ(port.OpenPort("COM6"), -1);
    EXPECT_NE(port.LastError().find("COM6"), std::string::npos);
}

// ---- the Linux backend on a pseudo-terminal pair ----

class Pty : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = name;
        backend = MakePosixSerialBackend();
        std::string error;
        ASSERT_TRUE(backend->Open(path, error)) << error;
        backend->ApplyLineSettings();
        // Modem lines do not exist on a pty; these must simply be harmless.
        backend->SetModemLine(ModemLine::RTS, true);
        backend->SetModemLine(ModemLine::DTR, false);
    }
    void TearDown() override
    {
        backend.reset();
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    bool MasterReadable()
    {
        pollfd p{master, POLLIN, 0};
        return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
    }

    int master = -1, slave = -1;
    std::string path;
    std::unique_ptr<SerialBackend> backend;
};

// A read long enough that, if it waited for the full time-out, the test
// would run into its own time limit instead of passing.
constexpr int Forever = 3600 * 1000;

TEST_F(Pty, RawBytesPassUntranslatedAndUnechoed)
{
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = uint8_t(i);
    ASSERT_EQ(write(master, all.data(), all.size()), 256);
    backend->SetTimeouts(Forever, 200);
    Bytes in(256);
    EXPECT_EQ(backend->Read(in.data(), in.size()), 256u);
    EXPECT_EQ(in, all);
    EXPECT_FALSE(MasterReadable()); // nothing echoed back

    EXPECT_EQ(backend->Write(all.data(), all.size()), 256u);
    Bytes out(256);
    size_t got = 0;
    while (got < out.size()) {
        ssize_t rc = read(master, out.data() + got, out.size() - got);
        ASSERT_GT(rc, 0);
        got += size_t(rc);
    }
    EXPECT_EQ(out, all);
}

TEST_F(Pty, ReadReturnsWhatArrivedWhenTheTimeoutPasses)
{
    uint8_t five[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(write(master, five, 5), 5);
    backend->SetTimeouts(20, 200);
    uint8_t in[32] = {};
    EXPECT_EQ(backend->Read(in, 32), 5u);
    EXPECT_EQ(in[4], 5);
    EXPECT_EQ(backend->Read(in, 32), 0u);
}

TEST_F(Pty, SecondOpenOfTheSameDeviceIsRefused)
{
    auto other = MakePosixSerialBackend();
    std::string error;
    EXPECT_FALSE(other->Open(path, error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_TRUE(backend->Close());
    EXPECT_FALSE(backend->IsValid());
    EXPECT_TRUE(other->Open(path, error)) << error;
}

TEST_F(Pty, HangUpEndsAReadAtOnce)
{
    backend->SetTimeouts(Forever, 200);
    close(master);
    master = -1;
    uint8_t in[4];
    EXPECT_EQ(backend->Read(in, 4), 0u);
    EXPECT_EQ(backend->Read(in, 4), 0u);
}

// A long wait for the programmer serves the front end all along, never
// inside itself; what arrives meanwhile is read as before, and the time-out
// still ends a wait that gets nothing.
TEST_F(Pty, ALongWaitServesTheFrontEndInSlices)
{
    SerialPort port(std::move(backend), [this](const std::string &) { return path; });
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    RecordingFrontEnd ui;
    uint8_t in[2] = {};
    port.SetWaitService([&] {
        ui.ProcessMessages();
        if (ui.pumped == 3) {
            port.SetReadTimeout(50); // the outer read keeps its own deadline
            EXPECT_EQ(port.Read(in, 2), 0u); // and this one waits unserved
            const uint8_t reply[2] = {0x5A, 0xA5};
            ASSERT_EQ(write(master, reply, 2), 2);
        }
    });
    port.SetReadTimeout(Forever);
    ASSERT_EQ(port.Read(in, 2), 2u);
    EXPECT_EQ(in[0], 0x5A);
    EXPECT_EQ(ui.pumped, 3);

    port.SetReadTimeout(100);
    EXPECT_EQ(port.Read(in, 2), 0u);
    port.SetWaitService({});
    const int before = ui.pumped;
    EXPECT_EQ(port.Read(in, 2), 0u);
    EXPECT_EQ(ui.pumped, before);
}

// A pause in slices adds up to the whole pause: a simulator's clock moves by
// the same amount.
TEST(SerialPort, ServedPauseKeepsItsLength)
{
    PortFixture f;
    ASSERT_EQ(f.port.OpenPort("COM1"), 0);
    f.port.SetWaitService([] {});
    f.line->events.clear();
    f.port.Pause(45);
    EXPECT_EQ(f.line->events, (std::vector<std::string>{"pause 20", "pause 20", "pause 5"}));
}

TEST(PosixBackend, MissingDeviceAndNonTerminalFailWithAReason)
{
    auto backend = MakePosixSerialBackend();
    std::string error;
    EXPECT_FALSE(backend->Open("/dev/nonexistent-tty", error));
    EXPECT_NE(error.find("/dev/nonexistent-tty: "), std::string::npos);
    EXPECT_FALSE(backend->Open("/dev/null", error));
    EXPECT_FALSE(backend->IsValid());
}

} // namespace

// The trace holds what crossed the port, drained bytes included, in the
// byte-line form the simulator reads back, and the header keeps files to
// their names.
TEST(WireTrace, PortRecordsEveryByteAndTheHeaderCutsFolders)
{
    const std::string path = testing::TempDir() + "wire.trace";
    std::string error;
    {
        PortFixture f;
        f.port.SetTrace(WireTrace::Create(path, "tarnvik-cli; device X\nport Y", {}, error));
        ASSERT_TRUE(error.empty()) << error;
        f.line->replies = {{0x41, 0x42}, {0x7F}, {}};
        ASSERT_EQ(f.port.OpenPort("COM2"), 0);
        const uint8_t out[] = {0x00, 0xA5};
        f.port.Write(out, 2);
        uint8_t in[4];
        EXPECT_EQ(f.port.Read(in, 2), 2u);
        EXPECT_EQ(f.port.DrainInput(), 1u);
        f.port.ClosePort();
    }
    std::ifstream text(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(std::regex_replace(line, std::regex("^[0-9]+\\.[0-9]{6} "), "T "));
    EXPECT_EQ(lines, (std::vector<std::string>{"# tarnvik-cli; device X port Y", "T open COM2", "T > 00", "T > A5",
                                               "T < 41", "T < 42", "T < 7F", "T close"}));
    EXPECT_EQ(WireTrace::Create("/nonexistent/dir/t", "", {}, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/dir/t"), std::string::npos);

    EXPECT_EQ(TraceCommandText({"-p", "/dev/ttyUSB0", "--trace", "/home/u/t.txt", "program", "/home/u/fw/a.hex",
                                "--settings=/home/u/s.ini", "--log", "logs/l.csv", "--trace=x/y"}),
              "-p /dev/ttyUSB0 program a.hex --settings=s.ini --log l.csv");
}

// A trace goes only where nothing of the run is lost: a regular file or a
// new one (0600), never through a link, never a file the run reads, never
// anything that could block the open. A refusal leaves the file as it was.
TEST(WireTrace, RefusesPlacesThatWouldLoseAFileOrBlock)
{
    TempDir dir;
    const std::string hex = dir.Write("app.hex", ":00000001FF\n");
    ASSERT_EQ(::link(hex.c_str(), dir.File("hard.hex").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Write("other.txt", "keep").c_str(), dir.File("link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("nothing").c_str(), dir.File("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const std::vector<std::string> inUse{hex, dir.File("settings.ini"), dir.File("read.hex")};
    struct Case {
        std::string path;
        bool made;
        const char *says; // in the refusal
    };
    const Case cases[] = {
        {hex, false, "このコマンドが読み書きするファイル"},
        {dir.File("hard.hex"), false, "このコマンドが読み書きするファイル"},
        {dir.File("./app.hex"), false, "このコマンドが読み書きするファイル"},
        {dir.File("read.hex"), false, "このコマンドが読み書きするファイル"}, // the output read is to make
        {dir.File("link"), false, "シンボリックリンク"},
        {dir.File("dangling"), false, "シンボリックリンク"},
        {dir.File("fifo"), false, "通常のファイルではありません"},
        {"/dev/null", false, "通常のファイルではありません"},
        {dir.File(""), false, "フォルダー"},
        {dir.File("new.trace"), true, ""},
        {dir.File("other.txt"), true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        const auto trace = WireTrace::Create(c.path, "header", inUse, error);
        EXPECT_EQ(trace != nullptr, c.made) << error;
        if (!c.made) {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
        }
    }
    EXPECT_EQ(ReadAll(hex), ":00000001FF\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("read.hex")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("nothing")));
    EXPECT_EQ(ReadAll(dir.File("other.txt")), "# header\n"); // a file of its own is replaced
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("new.trace").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A write that fails (here the file-size limit, as ulimit -f sets it) ends
// the trace where it was cut and is told by Finish; nothing kills the
// program.
TEST(WireTrace, AFailedWriteIsToldAndStopsTheTrace)
{
    TempDir dir;
    const std::string path = dir.File("limited.trace");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const auto trace = WireTrace::Create(path, "header", {}, error);
        if (!trace) ::_exit(2);
        const std::vector<uint8_t> bytes(100000, 0x55);
        trace->Sent(bytes.data(), bytes.size());
        ::_exit(trace->Finish() == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);
}
