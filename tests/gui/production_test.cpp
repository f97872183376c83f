// The production window over a gang of tarnbox-sim boards: its rounds leave
// the log rows, the serial state and the chips tarnvik-cli leaves with the
// same options, a file changed on the disk is refused until it is loaded
// again, and the window as a desktop shows it (openbox, TARNVIK_DESKTOP
// light or dark; pictures into TARNVIK_SHOT_DIR).
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "ProductionTile.h"
#include "commandrig.h"
#include "ProductionSettings.h"
#include "ProductionWindow.h"
#include "settings/settings.h"
#include "SimProcess.h"
#include "support/interrupt.h"
#include "test_files.h"
#include "texts/production_window_texts.h"

namespace {

const std::string FixtureHex = std::string(TARNVIK_HEX_FIXTURES) + "/p16f877a.hex";
const std::string Device = "PIC16F877A";

QString Q(const std::string &text) { return QString::fromStdString(text); }

// tarnvik-cli with these arguments and this input, its status once it ends
// (-1 after two minutes).
int RunCli(std::vector<std::string> args, const std::string &input = {})
{
    int in[2];
    if (pipe(in) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        close(in[0]);
        close(in[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        setenv("TARNVIK_DEV_ROOT", "/nonexistent", 1);
        setenv("TARNVIK_SYSFS_ROOT", "/nonexistent", 1);
        std::vector<char *> argv{const_cast<char *>(TARNVIK_CLI_PROGRAM)};
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(TARNVIK_CLI_PROGRAM, argv.data());
        _exit(127);
    }
    close(in[0]);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) qWarning("the input was not taken");
    close(in[1]);
    int status = 0;
    for (int i = 0; i < 1200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// The log's rows without the time and elapsed columns, each board's port
// named by its place in the gang.
std::vector<std::string> Rows(const std::string &log, const std::vector<std::string> &ports)
{
    std::vector<std::string> rows;
    std::istringstream in(ReadAll(log));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        f.resize(10);
        for (size_t i = 0; i < ports.size(); ++i)
            if (f[1] == ports[i]) f[1] = "board " + std::to_string(i);
        std::string row;
        for (size_t i : {1, 2, 3, 4, 5, 6, 8, 9})
            row += f[i] + ",";
        rows.push_back(row);
    }
    return rows;
}

// What a board's chip holds, read back over its link.
std::string ReadBack(const TempDir &dir, const std::string &port, const std::string &name)
{
    const std::string file = dir.File(name);
    if (RunCli({"--settings", dir.File("empty.ini"), "-d", Device, "-p", port, "read", file}) != 0) return {};
    return ReadAll(file);
}

// A gang of two: a board that programs, and one whose PIC16F628A is refused
// each round.
struct Gang {
    SimProcess good{{"--chip", Device}}, refused{{"--chip", "PIC16F628A"}};
    std::vector<std::string> Ports() const { return {good.Path(), refused.Path()}; }
};

std::string ProductionIni(const TempDir &dir, const std::vector<std::string> &ports, const std::string &tag)
{
    return dir.Write(tag + ".ini", "[production]\nports=" + ports[0] + (ports.size() > 1 ? ", " + ports[1] : "") +
                                       "\nerase=1\nserial=1\nserial-at=0x1F00\nserial-start=7\nserial-state=" +
                                       dir.File(tag + ".state") + "\nlog=" + dir.File(tag + ".csv") + "\n");
}

bool RunRoundByKey(ProductionWindow &w, QSignalSpy &ended, Qt::Key key = Qt::Key_Return)
{
    const qsizetype before = ended.count();
    QTest::keyClick(&w, key);
    return QTest::qWaitFor([&] { return ended.count() > before; }, 120000);
}

QString Desktop()
{
    const QString d = qEnvironmentVariable("TARNVIK_DESKTOP");
    return d.isEmpty() ? QStringLiteral("light") : d;
}

} // namespace

class ProductionTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearInterrupt(); }
    void WindowAndCommandLineLeaveTheSame();
    void AChangedFileIsRefusedUntilReloaded();
    void Screenshots();
    void TheMainWindowStepsAside();
    void StopEndsTheRoundsChips();
    void SettingsKeptAndJudged();
    void AnEndingSignalWaitsForTheRound();
};

// Three rounds through the window, three through tarnvik-cli --repeat, each
// on fresh boards; the chip that passes is erased before its next number.
void ProductionTest::WindowAndCommandLineLeaveTheSame()
{
    TempDir dir;
    dir.Write("empty.ini", "");
    Gang window, cli;
    ProductionWindow w(ProductionIni(dir, window.Ports(), "window"), FixtureHex, Device);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.TileCount(), size_t(2));
    QSignalSpy ended(&w, &ProductionWindow::RoundEnded);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter}) {
        QTest::keyClick(&w, key);
        // The round runs on its worker: the window answers, and only Stop
        // is to be pressed meanwhile.
        QVERIFY(w.RoundRunning());
        QVERIFY(!w.StartButton()->isEnabled() && !w.SettingsButton()->isEnabled() &&
                !w.ReloadButton()->isEnabled() && w.StopButton()->isEnabled());
        QTest::keyClick(&w, Qt::Key_Return); // no second round meanwhile
        QVERIFY(QTest::qWaitFor([&] { return !w.RoundRunning(); }, 120000));
    }
    QCOMPARE(ended.count(), 3);
    QVERIFY2(w.Tile(0)->CurrentLook() == ProductionTile::Look::Passed, qPrintable(w.Tile(0)->DetailText()));
    QCOMPARE(w.Tile(1)->CurrentLook(), ProductionTile::Look::Failed);
    QCOMPARE(w.Tile(0)->VerdictText(), Q(texts::ChipPassed()));
    QVERIFY2(w.Tile(0)->DetailText().contains(Q(texts::TileSerial(9))), qPrintable(w.Tile(0)->DetailText()));
    QVERIFY(w.Tile(1)->DetailText().contains("refused"));
    QCOMPARE(w.SessionCountsText(), Q(texts::SessionCounts(3, 3)));
    QCOMPARE(w.LogCountsText(), Q(texts::LogCounts(3, 3)));

    QCOMPARE(RunCli({"--settings", dir.File("empty.ini"), "-d", Device, "-p", cli.good.Path(), "-p",
                     cli.refused.Path(), "--repeat", "--erase", "--serial", "7", "--serial-at", "0x1F00", "--serial-state",
                     dir.File("cli.state"), "--log", dir.File("cli.csv"), "program", FixtureHex},
                    "\n\n"),
             2);
    const std::vector<std::string> rows = Rows(dir.File("window.csv"), window.Ports());
    QCOMPARE(rows.size(), size_t(6));
    QVERIFY(rows == Rows(dir.File("cli.csv"), cli.Ports()));
    QCOMPARE(ReadAll(dir.File("window.state")), ReadAll(dir.File("cli.state")));
    const std::string chip = ReadBack(dir, window.good.Path(), "window.hex");
    QVERIFY(!chip.empty());
    QVERIFY(chip == ReadBack(dir, cli.good.Path(), "cli.hex"));

    // A window opened on the log later counts what it holds.
    ProductionWindow again(dir.File("window.ini"), FixtureHex, Device);
    QCOMPARE(again.LogCountsText(), Q(texts::LogCounts(3, 3)));
    QCOMPARE(again.SessionCountsText(), Q(texts::SessionCounts(0, 0)));
}

// Any change of the file after its load (its bytes, even with its size and
// time put back) refuses the next round until the file is loaded again.
void ProductionTest::AChangedFileIsRefusedUntilReloaded()
{
    TempDir dir;
    const std::string hex = dir.Write("image.hex", ReadAll(FixtureHex));
    SimProcess board({"--chip", Device});
    const std::string ini = dir.Write("p.ini", "[production]\nports=" + board.Path() + "\nlog=" + dir.File("p.csv"));
    ProductionWindow w(ini, hex, Device);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy ended(&w, &ProductionWindow::RoundEnded);

    struct stat before {};
    QCOMPARE(stat(hex.c_str(), &before), 0);
    std::string bytes = ReadAll(hex);
    const size_t at = bytes.find(":10") + 9; // a data digit of the first record
    bytes[at] = bytes[at] == '0' ? '1' : '0';
    std::ofstream(hex, std::ios::binary | std::ios::trunc) << bytes;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(utimensat(AT_FDCWD, hex.c_str(), times, 0), 0);

    QTest::keyClick(&w, Qt::Key_Return);
    QVERIFY(!w.RoundRunning());
    QCOMPARE(w.StatusText(), Q(texts::ImageChangedOnDisk()));
    QCOMPARE(w.Tile(0)->CurrentLook(), ProductionTile::Look::NotRun);
    QCOMPARE(ended.count(), 0);

    // The change put back is still no reload; Reload takes the file as it is.
    std::ofstream(hex, std::ios::binary | std::ios::trunc) << ReadAll(FixtureHex);
    QTest::keyClick(&w, Qt::Key_Return);
    QCOMPARE(w.StatusText(), Q(texts::ImageChangedOnDisk()));
    w.ReloadButton()->click();
    QCOMPARE(w.StatusText(), Q(texts::ImageReloaded()));
    QVERIFY(RunRoundByKey(w, ended));
    QCOMPARE(w.Tile(0)->CurrentLook(), ProductionTile::Look::Passed);
    QCOMPARE(w.LogCountsText(), Q(texts::LogCounts(1, 0)));

    // Another file is locked in its place; a file that is no HEX file none.
    FileDialog::Reset();
    FileDialog::PreAnswer(Q(dir.Write("notes.hex", "no records here\n")));
    w.ChooseButton()->click();
    QCOMPARE(w.StatusText(), Q(texts::ImageDamaged()));
    QTest::keyClick(&w, Qt::Key_Return);
    QVERIFY(!w.RoundRunning());
    QCOMPARE(w.Tile(0)->CurrentLook(), ProductionTile::Look::NotRun);
}

// A round's verdicts on the desktop: the captions whole, the tiles apart.
void ProductionTest::Screenshots()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("pictures are taken on a desktop");
    TempDir dir;
    Gang gang;
    ProductionWindow w(ProductionIni(dir, gang.Ports(), "shot"), FixtureHex, Device);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy ended(&w, &ProductionWindow::RoundEnded);
    // The key as a foot switch types it: to the active window, whatever
    // has the focus in it.
    QTest::keyClick(w.windowHandle(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return ended.count() == 1; }, 120000));
    QTest::qWait(200);
    for (QLabel *label : w.findChildren<QLabel *>()) {
        if (label->wordWrap() || label->text().isEmpty() || !label->isVisible()) continue;
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    }
    for (QPushButton *b : w.findChildren<QPushButton *>())
        QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->text()));
    QVERIFY(!w.Tile(0)->geometry().intersects(w.Tile(1)->geometry()));
    const QString folder = qEnvironmentVariable("TARNVIK_SHOT_DIR", QString::fromStdString(dir.File("")));
    QDir().mkpath(folder);
    auto shot = [&](const QWidget &window, const QString &what) {
        const QRect r = window.frameGeometry().adjusted(-2, -2, 2, 2);
        return window.screen()
            ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
            .save(folder + "/production-" + Desktop() + what + ".png");
    };
    QVERIFY(shot(w, QString()));
    // The settings, their captions whole.
    bool shown = false;
    QTimer::singleShot(0, &w, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog && !QTest::qWaitFor([&] { return QApplication::activeModalWidget() != nullptr; }, 5000)) return;
        dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        QTest::qWait(300);
        shown = true;
        for (QLabel *label : dialog->findChildren<QLabel *>())
            if (label->isVisible() && label->sizeHint().width() > label->width())
                qWarning("cut: %s", qPrintable(label->text()));
        shot(*dialog, "-settings");
        dialog->reject();
    });
    w.SettingsButton()->click();
    QVERIFY(shown);
}

// Stop during a round on a board at the wire's real pace: the chip ends at
// its next command, the round is recorded with it failed.
void ProductionTest::StopEndsTheRoundsChips()
{
    TempDir dir;
    SimProcess board({"--chip", Device, "--pace"});
    const std::string log = dir.File("s.csv");
    ProductionWindow w(dir.Write("s.ini", "[production]\nports=" + board.Path() + "\nlog=" + log + "\n"),
                       FixtureHex, Device);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy ended(&w, &ProductionWindow::RoundEnded);
    const auto started = std::chrono::steady_clock::now();
    QTest::keyClick(&w, Qt::Key_Space);
    QVERIFY(QTest::qWaitFor([&] { return w.Tile(0)->CurrentLook() == ProductionTile::Look::Working; }, 30000));
    QTest::qWait(1500);
    QVERIFY(w.RoundRunning());
    w.StopButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return ended.count() == 1; }, 60000));
    QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(20));
    QCOMPARE(w.Tile(0)->CurrentLook(), ProductionTile::Look::Failed);
    QVERIFY(w.Tile(0)->DetailText().startsWith(Q(texts::ChipStopped())));
    QCOMPARE(w.SessionCountsText(), Q(texts::SessionCounts(0, 1)));
    QCOMPARE(Rows(log, {board.Path()}).size(), size_t(1));
    QVERIFY(w.StartButton()->isEnabled() && !w.StopButton()->isEnabled());
}

// The [production] keys as written and read back, and the settings no run
// can be planned from, each named.
void ProductionTest::SettingsKeptAndJudged()
{
    TempDir dir;
    AppSettings::Production s;
    s.ports = "COM3, /dev/ttyUSB0";
    s.serial = true;
    s.serialAt = "0x1F00";
    s.serialStart = "7:2";
    s.onPass = "sh -c 'echo $TARNVIK_SERIAL'";
    {
        SettingsFile file(dir.File("t.ini"));
        QVERIFY(WriteProductionSettings(file, s) && file.Save());
    }
    const AppSettings::Production read = ReadAppSettings(SettingsFile(dir.File("t.ini"))).production;
    QCOMPARE(read.ports, s.ports);
    QCOMPARE(read.onPass, s.onPass);
    ProductionPlan plan;
    QVERIFY(!PlanFromSettings(read, plan));
    QCOMPARE(plan.ports, (std::vector<std::string>{"COM3", "/dev/ttyUSB0"}));
    QVERIFY(plan.serial && plan.serialStartGiven && plan.serialStart == 7 && plan.serialStep == 2);
    QCOMPARE(plan.onPass, (std::vector<std::string>{"sh", "-c", "echo $TARNVIK_SERIAL"}));

    const std::pair<std::function<void(AppSettings::Production &)>, PlanSetting> wrong[] = {
        {[](auto &p) { p.ports = "COM3, COM3"; }, PlanSetting::Ports},
        {[](auto &p) { p.serialList = "labels.txt"; }, PlanSetting::SerialSource},
        {[](auto &p) { p.serialAt = "top"; }, PlanSetting::SerialAt},
        {[](auto &p) { p.serialBytes = 9; }, PlanSetting::SerialBytes},
        {[](auto &p) { p.onFail = "sh -c 'unclosed"; }, PlanSetting::OnFail},
    };
    for (const auto &[change, setting] : wrong) {
        AppSettings::Production p = s;
        change(p);
        ProductionPlan refusedPlan;
        const auto refused = PlanFromSettings(p, refusedPlan);
        QVERIFY(refused && refused->setting == setting);
    }
}

// SIGTERM during a round (a log-out) ends the window only once the round's
// chip is done and recorded: the window runs in a child, which says when its
// round has begun.
void ProductionTest::AnEndingSignalWaitsForTheRound()
{
    TempDir dir;
    SimProcess board({"--chip", "PIC12F675", "--pace"});
    const std::string log = dir.File("e.csv");
    const std::string ini = dir.Write("e.ini", "[production]\nports=" + board.Path() + "\nlog=" + log + "\n");
    const std::string hex = std::string(TARNVIK_HEX_FIXTURES) + "/p12f675.hex";
    int out[2];
    QCOMPARE(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl("/proc/self/exe", "gui_production", "--round-child", ini.c_str(), hex.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    char said = 0;
    const bool begun = read(out[0], &said, 1) == 1;
    close(out[0]);
    if (begun) QTest::qWait(300);
    kill(pid, SIGTERM);
    int status = 0;
    QVERIFY(QTest::qWaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 120000));
    QVERIFY(begun);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    const std::vector<std::string> rows = Rows(log, {board.Path()});
    QCOMPARE(rows.size(), size_t(1));
    QVERIFY2(rows[0].find(",ok,") != std::string::npos, rows[0].c_str());
}

// Ctrl+Shift+P: the production window with the main window's file and
// device; the main window's port is the gang's meanwhile, and comes back
// with the main window.
void ProductionTest::TheMainWindowStepsAside()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    QVERIFY(Ui(f).PortOpen());
    Ui(f).SetCurrentFile(FixtureHex);
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    auto *w = qobject_cast<ProductionWindow *>(Ui(f).ProductionWindowShown());
    QVERIFY(w);
    QVERIFY(!Ui(f).PortOpen());
    QVERIFY(!f.isVisible());
    QCOMPARE(w->Image().File(), FixtureHex);
    QCOMPARE(std::string(DeviceName(w->Image().Device())), Device);
    QVERIFY(w->close());
    QTRY_VERIFY(f.isVisible());
    QTRY_VERIFY(Ui(f).PortOpen());
}

namespace {

// The dark desktop: a platform theme's dark colour scheme, as the window's
// desktop test has it.
void UseThemeSettings(const QString &folder)
{
    if (Desktop() != QLatin1String("dark")) return;
    QDir().mkpath(folder + "/qt6ct");
    QFile conf(folder + "/qt6ct/qt6ct.conf");
    if (!conf.open(QIODevice::WriteOnly)) return;
    conf.write("[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\n"
               "style=Fusion\nstandard_dialogs=default\n");
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    qputenv("QT_QPA_PLATFORMTHEME", "qt6ct");
}

} // namespace

namespace {

// The child of AnEndingSignalWaitsForTheRound: a window as tarnvik
// --production runs it, one round begun at once; a byte on stdout once it is.
int RoundChild(int argc, char **argv)
{
    EndOnSignalsAfterHolds();
    QApplication app(argc, argv);
    ProductionWindow w(argv[2], argv[3], "PIC12F675");
    w.ListenForEndingSignals();
    w.show();
    QTimer::singleShot(0, &w, [&w] {
        w.StartRound();
        // A round that did not begin ends the child at once.
        if (!w.RoundRunning() || write(STDOUT_FILENO, "r", 1) != 1) _exit(1);
    });
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "--round-child") return RoundChild(argc, argv);
    QTemporaryDir config;
    UseThemeSettings(config.path());
    QApplication app(argc, argv);
    ProductionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "production_test.moc"
