// tarnvik-cli with its board on "another machine": tarnbox-sim's terminal
// served by ser2net on the loopback address, in both of its forms, the
// server started and ended by each test with a configuration in the test's
// own folder. Skipped where ser2net is not installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "catalogue/DeviceSpec.h"
#include "cli_files.h"
#include "image/buffer.h"
#include "image/hex_load.h"

namespace {

const std::string Fixtures = TARNVIK_HEX_FIXTURES;

std::string Ser2netProgram()
{
    for (const char *path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

// A loopback port nothing listens on at the moment.
int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Whether something listens on the loopback port, found without connecting:
// a connection would make ser2net open the device, and a server busy
// letting go of it refuses the next accepter's connection for a moment.
bool Listening(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool taken = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && errno == EADDRINUSE;
    ::close(fd);
    return taken;
}

// ser2net in the foreground serving device as rfc2217:// (with the
// server's default gathering of the device's bytes) and as tcp:// (without).
// A port another program took between the choice and the start is met by
// choosing again.
class Ser2net {
public:
    explicit Ser2net(const std::string &device)
    {
        const std::string program = Ser2netProgram();
        const std::string config = Temp("ser2net.yaml"), log = Temp("ser2net.log");
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
            telnet_ = FreePort();
            raw_ = FreePort();
            std::ofstream(config, std::ios::trunc)
                << "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnet_
                << "\n  connector: serialdev," << device << ",38400n81,local\n"
                << "connection: &raw\n  accepter: tcp,127.0.0.1," << raw_ << "\n  connector: serialdev," << device
                << ",38400n81,local\n  options:\n    chardelay: false\n";
            pid_ = fork();
            if (pid_ == 0) {
                const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                dup2(out, STDOUT_FILENO);
                dup2(out, STDERR_FILENO);
                execl(program.c_str(), program.c_str(), "-n", "-d", "-u", "-c", config.c_str(), nullptr);
                _exit(127);
            }
            for (int polls = 0; polls < 100 && !(Listening(telnet_) && Listening(raw_)); ++polls)
                usleep(20000);
            if (!Listening(telnet_) || !Listening(raw_)) Kill(SIGTERM);
        }
    }
    ~Ser2net() { Kill(SIGTERM); }
    bool Running() const { return pid_ > 0; }
    std::string Telnet() const { return "rfc2217://127.0.0.1:" + std::to_string(telnet_); }
    std::string Raw() const { return "tcp://127.0.0.1:" + std::to_string(raw_); }
    void Kill(int sig)
    {
        if (pid_ <= 0) return;
        kill(pid_, sig);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int telnet_ = 0, raw_ = 0;
};

#define REQUIRE_SER2NET()                                                                                    \
    if (Ser2netProgram().empty()) GTEST_SKIP() << "ser2net is not installed: no network port to test"

struct CliRun {
    int status = -1;
    std::string out, err;
    bool Says(const std::string &text) const { return (out + err).find(text) != std::string::npos; }
};

// tarnvik-cli with a settings file of its own; whileRunning gets its pid.
CliRun RunCli(std::vector<std::string> args, const std::string &settingsText = "",
           const std::function<void(pid_t)> &whileRunning = {})
{
    const std::string settings = Temp("net-settings.ini"), outPath = Temp("net-stdout"),
                      errPath = Temp("net-stderr");
    std::ofstream(settings, std::ios::trunc) << settingsText;
    args.insert(args.begin(), {"--settings", settings});
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        setenv("XDG_DATA_HOME", Temp("net-data").c_str(), 1);
        ExecCli(std::move(args));
    }
    if (whileRunning) whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(outPath), ReadText(errPath)};
}

} // namespace

// Program, then verify, over each form; version and the ports listing show
// the round trip, whether the port is named by -p or through the map. Each
// form gets a board and server of its own.
TEST(NetworkPort, ProgramAndVerifyOverBothForms)
{
    REQUIRE_SER2NET();
    const std::regex roundTrip("往復 [0-9]+\\.[0-9] ms");
    const std::string file = Fixtures + "/p16f877a.hex";
    for (const bool telnet : {true, false}) {
        SimProcess sim({"--chip", "PIC16F877A"});
        ASSERT_FALSE(sim.Path().empty());
        Ser2net server(sim.Path());
        ASSERT_TRUE(server.Running()) << ReadText(Temp("ser2net.log"));
        const std::string port = telnet ? server.Telnet() : server.Raw();
        CliRun r = RunCli({"-p", port, "-d", "PIC16F877A", "program", file});
        EXPECT_EQ(r.status, 0) << port << r.out << r.err;
        EXPECT_TRUE(r.Says("ベリファイOK。一致しました。")) << port << r.out;
        r = RunCli({"-p", port, "-d", "PIC16F877A", "verify", file});
        EXPECT_EQ(r.status, 0) << port << r.out << r.err;
        r = RunCli({"-p", port, "version"});
        EXPECT_EQ(r.status, 0) << port << r.out << r.err;
        EXPECT_TRUE(std::regex_search(r.out, roundTrip)) << port << r.out;
        if (!telnet) continue;
        const CliRun ports = RunCli({"ports"}, "[ports]\ncom3=" + port + "\n");
        EXPECT_EQ(ports.status, 0) << ports.out << ports.err;
        const std::string line = "COM3  Tarnbox   " + port + "  ";
        const size_t at = ports.out.find(line);
        ASSERT_NE(at, std::string::npos) << ports.out;
        const std::string rest = ports.out.substr(at + line.size(), ports.out.find('\n', at) - at - line.size());
        EXPECT_TRUE(std::regex_match(rest, roundTrip)) << ports.out;
    }
}

// ser2net killed in the middle of a program of a part with calibration
// words: the command fails as on an unplugged cable, and the chip keeps its
// calibration or the output says how to put it back.
TEST(NetworkPort, ServerKilledMidProgramLosesNoCalibration)
{
    REQUIRE_SER2NET();
    const std::string dump = Temp("net-675.hex");
    std::optional<SimProcess> sim;
    sim.emplace(std::vector<std::string>{"--chip", "PIC12F675", "--calib", "3450,1000", "--dump", dump, "--pace"});
    Ser2net server(sim->Path());
    ASSERT_TRUE(server.Running()) << ReadText(Temp("ser2net.log"));
    const CliRun r = RunCli({"-p", server.Telnet(), "-d", "PIC12F675", "program", Fixtures + "/p12f675.hex"}, "",
                         [&](pid_t) {
                             // The paced program takes some 6 s once the file is loaded.
                             for (int polls = 0; polls < 5000; ++polls) {
                                 if (ReadText(Temp("net-stdout")).find("チェックサム") != std::string::npos) break;
                                 usleep(1000);
                             }
                             usleep(2500000);
                             server.Kill(SIGKILL);
                         });
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(r.Says("プログラマーからの応答が途切れました。")) << r.out;
    sim->Stop();
    MemoryBuffer image;
    const int index = FindDevice("PIC12F675");
    image.Clear(DeviceTable[static_cast<size_t>(index)]);
    LoadOutcome outcome;
    outcome.Device = {false, index};
    LoadNewFile(dump, image, false, outcome);
    const bool kept = image.Words[0x03FF] == 0x3450 && (image.Words[0x2007] & 0x3000) == 0x1000;
    EXPECT_TRUE(kept || r.Says("を書き戻してください。")) << r.out << r.err;
}

// A server that is not there, a host that does not exist and a server
// without its device: the port cannot be opened, and the reason names what
// was asked for.
TEST(NetworkPort, RefusedAndUnresolvedNamesSayWhy)
{
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreePort());
    CliRun r = RunCli({"-p", refused, "-d", "PIC16F877A", "blank"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_TRUE(r.Says("COMポートがオープンされていません。")) << r.out;
    EXPECT_NE(r.err.find(refused + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;

    r = RunCli({"-p", "tcp://tarnbox.invalid:3333", "-d", "PIC16F877A", "blank"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("tcp://tarnbox.invalid:3333: cannot find the host tarnbox.invalid"), std::string::npos)
        << r.err;

    // A server whose device is missing there hangs up with its reason.
    if (Ser2netProgram().empty()) return;
    Ser2net server("/nonexistent/tty");
    ASSERT_TRUE(server.Running()) << ReadText(Temp("ser2net.log"));
    r = RunCli({"-p", server.Telnet(), "-d", "PIC16F877A", "blank"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find(server.Telnet() + ": the server closed the connection"), std::string::npos) << r.err;
}
