// Every test program runs in a folder of its own: made before main, named
// in TMPDIR (and TEST_TMPDIR, which GoogleTest's TempDir() reads first) so
// that the test, tarnbox-sim, tarnvik-cli and tarnvik started from it all
// write there, and removed when the program ends. The runtime folder (where
// the window's single-running-copy socket lives) and the configuration
// folder and the data folder point into it as well, so that two test runs side by side, or a
// developer's own running window, never meet the tests' copies.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TestFolder {
public:
    TestFolder()
    {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnvik-test.XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("tarnvik tests: cannot make a temporary folder");
            std::exit(1);
        }
        path_ = pattern;
        const std::string config = path_ + "/config";
        std::filesystem::create_directory(config);
        setenv("TMPDIR", path_.c_str(), 1);
        setenv("TEST_TMPDIR", (path_ + "/").c_str(), 1);
        // mkdtemp makes it private (0700), as the runtime folder must be.
        setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        // The calibration log, which erase and read append to.
        setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
    }
    ~TestFolder()
    {
        // A forked child that exits normally must not take the folder away
        // from the test still running in the parent.
        if (getpid() != owner_) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

private:
    std::string path_;
    pid_t owner_ = getpid();
};

const TestFolder folder;

} // namespace
