// Names that lead to no file (a FIFO nobody writes to, a folder, a link to
// an endless device) are refused at once by every reader and writer that
// opens a file by name, with a reason; and a log row that the disk cannot
// take whole leaves the log as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "configbits/ConfigBits.h"
#include "support/FileErrorText.h"
#include "production/ProductionLog.h"
#include "production/SerialState.h"
#include "support/checked_file.h"
#include "image/hex.h"
#include "settings/settings.h"
#include "test_files.h"

namespace {

struct Refusal {
    int error = 0;    // errno value, when the reader gives one; -1 for a refusal without one
    std::string text; // the text the user reads, when the reader gives one
};

struct Reader {
    const char *name;
    // Opens what path leads to the way the program does.
    std::function<Refusal(const std::string &path)> open;
};

// Each file the programs open by name, through the code that opens it.
const Reader Readers[] = {
    {"settings",
     [](const std::string &path) {
         SettingsFile settings(path);
         return Refusal{settings.LoadState() == SettingsFile::State::Unreadable ? settings.LoadError() : 0,
                        ""};
     }},
    {"HEX file",
     [](const std::string &path) {
         try {
             ReadHexFile(path);
         } catch (const HexFileError &e) {
             return Refusal{e.Error(), e.what()};
         }
         return Refusal{};
     }},
    {"assembler header",
     [](const std::string &path) {
         // The folder holds the header under the part's name.
         const std::string folder = path.substr(0, path.rfind('/'));
         std::string problem;
         const bool layout = ConfigLayoutFor("PIC16F877A", false, {folder}, &problem) != nullptr;
         return Refusal{layout ? 0 : -1, problem};
     }},
    {"serial-number state file",
     [](const std::string &path) {
         SerialAllocator stock(1, 1);
         std::string error;
         return Refusal{stock.UseStateFile(path, true, error) ? 0 : -1, error};
     }},
    {"production log",
     [](const std::string &path) {
         ProductionLog log;
         std::string error;
         return Refusal{log.Open(path, error) ? 0 : -1, error};
     }},
};

} // namespace

TEST(CheckedFile, WhatIsNoFileIsRefusedByEveryReaderAtOnce)
{
    struct Kind {
        const char *name;
        std::function<void(const std::string &path)> make;
        int error;
    };
    const Kind kinds[] = {
        {"FIFO", [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, NotRegularFileError},
        {"folder", [](const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }, EISDIR},
        {"link to /dev/zero", [](const std::string &p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
         NotRegularFileError},
    };
    for (const Reader &reader : Readers)
        for (const Kind &kind : kinds) {
            TempDir dir;
            const std::string path = dir.File("p16f877a.inc");
            kind.make(path);
            const Refusal refused = reader.open(path);
            const std::string what = std::string(reader.name) + " / " + kind.name;
            EXPECT_NE(refused.error, 0) << what << ": accepted";
            if (refused.error > 0) {
                EXPECT_EQ(refused.error, kind.error) << what;
            }
            if (!refused.text.empty()) {
                EXPECT_NE(refused.text.find(path), std::string::npos) << what;
            }
        }
    EXPECT_EQ(FileErrorReason(NotRegularFileError), "通常のファイルではありません（FIFO やデバイスなど）。");
}

TEST(CheckedFile, ReadsWholeFilesUpToTheirCapAndCreatesWhereAsked)
{
    TempDir dir;
    const std::string path = dir.Write("f", "12345");
    std::string text;
    EXPECT_EQ(ReadRegularFile(path, 5, text), 0);
    EXPECT_EQ(text, "12345");
    EXPECT_EQ(ReadRegularFile(path, 4, text), EFBIG);
    EXPECT_EQ(ReadRegularFile(dir.File("none"), 4, text), ENOENT);

    int error = 0;
    EXPECT_EQ(OpenRegularFile(dir.File("none"), O_WRONLY, error), -1);
    EXPECT_EQ(error, ENOENT);
    const int fd = OpenRegularFile(dir.File("new"), O_WRONLY | O_CREAT, error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "blocking again once checked";
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    close(fd);
}

// A full disk, simulated by a file size limit: the row that does not fit
// is taken back whole, and the next run's row starts on a line of its own.
TEST(ProductionLogFile, ARowIsWrittenWholeOrNotAtAll)
{
    TempDir dir;
    const std::string path = dir.File("log.csv");
    ChipRecord chip{0, "COM3", "PIC16F877A", "0E20 rev 2", "1000", "ok", 0x1234ABCDu, 480, std::nullopt, {}};
    std::string error;
    {
        ProductionLog log;
        ASSERT_TRUE(log.Open(path, error)) << error;
        ASSERT_TRUE(log.Append(chip, error)) << error;
    }
    const std::string before = ReadAll(path);

    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit full{static_cast<rlim_t>(before.size() + 10), limit.rlim_max};
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    bool appended = true;
    {
        ProductionLog log;
        ASSERT_TRUE(log.Open(path, error)) << error;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
        appended = log.Append(chip, error);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(appended);
    EXPECT_EQ(error, path + ": " + FileErrorReason(EFBIG));
    EXPECT_EQ(ReadAll(path), before);

    ProductionLog log;
    ASSERT_TRUE(log.Open(path, error)) << error;
    ASSERT_TRUE(log.Append(chip, error)) << error;
    EXPECT_EQ(ReadAll(path), before + ChipRecordRow(chip) + "\n");
}
