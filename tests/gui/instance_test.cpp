#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "SingleInstance.h"
#include "Unit1.h"
#include "WindowDriver.h"
#include "savedsettings.h"

#include <signal.h>

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyAsksTheFirst();
    void crashedCopyDoesNotBlock();
    void secondProcessEndsAndRaisesTheFirst();
    void smallBoxStripIsLeftAlone();
    void endingSignalSavesTheSettings_data();
    void endingSignalSavesTheSettings();
};

void InstanceTest::secondCopyAsksTheFirst()
{
    QTemporaryDir dir;
    SingleInstance first("copy", dir.path());
    QVERIFY(first.Acquire());
    QSignalSpy asked(&first, &SingleInstance::ActivationRequested);

    SingleInstance second("copy", dir.path());
    QVERIFY(!second.Acquire());
    QVERIFY(second.ActivateRunning(2000));
    QTRY_COMPARE(asked.count(), 1);

    // Another name is another program.
    SingleInstance other("other", dir.path());
    QVERIFY(other.Acquire());
    QVERIFY(SingleInstance::DefaultName().startsWith("Tarnvik Ver.2.53 Mutex"));
}

void InstanceTest::crashedCopyDoesNotBlock()
{
    QTemporaryDir dir;
    {
        SingleInstance gone("copy", dir.path());
        QVERIFY(gone.Acquire());
    }
    // What a crash leaves behind: the lock file and a socket nobody serves.
    QFile leftover(dir.filePath("copy"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    SingleInstance next("copy", dir.path());
    QVERIFY(next.Acquire());
    SingleInstance later("copy", dir.path());
    QVERIFY(!later.Acquire());
    QVERIFY(later.ActivateRunning(2000));

    // Nobody running and nobody listening: the request gives up in time.
    SingleInstance lonely("lonely", dir.path());
    QVERIFY(!lonely.ActivateRunning(200));
}

void InstanceTest::secondProcessEndsAndRaisesTheFirst()
{
    SingleInstance first;
    if (!first.Acquire()) QSKIP("a copy of the program is running for this user");
    QTemporaryDir dir;
    TForm1 form(nullptr, dir.filePath("first.ini").toStdString());
    Ui(form).Timer1()->setInterval(3600 * 1000); // this window needs no ports
    connect(&first, &SingleInstance::ActivationRequested, &form,
            [&form] { BringMainWindowToFront(&form, TForm1::VersionCaption); });
    form.show();
    QTRY_VERIFY(!Ui(form).FirstShowPending());
    form.showMinimized();
    QTRY_VERIFY(form.isMinimized());

    // The second start must not read or write the settings beside it.
    const QString exe = TARNVIK_EXE;
    const QString ini = QFileInfo(exe).path() + "/" + QFileInfo(exe).completeBaseName() + ".ini";
    const bool iniBefore = QFileInfo::exists(ini);
    const QDateTime iniTime = QFileInfo(ini).lastModified();

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(env);
    second.start(exe);
    QVERIFY(second.waitForStarted());
    // The first copy answers from its event loop while the second waits.
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());
    QCOMPARE(QFileInfo::exists(ini), iniBefore);
    QCOMPARE(QFileInfo(ini).lastModified(), iniTime);
}

void InstanceTest::smallBoxStripIsLeftAlone()
{
    // A second start looks for the main window by its caption; the strip of
    // Small Box mode carries another one and stays as it is.
    QWidget window;
    window.setWindowTitle("Vexa");
    window.show();
    window.showMinimized();
    QTRY_VERIFY(window.isMinimized());
    QVERIFY(!BringMainWindowToFront(&window, TForm1::VersionCaption));
    QVERIFY(window.isMinimized());

    window.setWindowTitle(TForm1::VersionCaption);
    QVERIFY(BringMainWindowToFront(&window, TForm1::VersionCaption));
    QTRY_VERIFY(!window.isMinimized());
}

void InstanceTest::endingSignalSavesTheSettings_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM at log-out") << int(SIGTERM);
    QTest::newRow("SIGHUP, the terminal closed") << int(SIGHUP);
}

// The program ends by the signal, having written the settings as a close
// writes them.
void InstanceTest::endingSignalSavesTheSettings()
{
    QFETCH(int, sig);
    const QString exe = TARNVIK_EXE;
    if (QFileInfo::exists(exe + ".ini")) QSKIP("a settings file beside the program would be used");
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("tarnvik"));
    const std::string ini = dir.filePath("tarnvik/tarnvik.ini").toStdString();
    const QString trace = dir.filePath("started.trace");
    {
        SavedSettings s(ini);
        s.WriteString("device", "name", "PIC16F84A");
        s.WriteBool("read", "smallblock", true);
        // Written once the window has read its settings: the sign it is up.
        s.WriteString("trace", "file", trace.toStdString());
    }
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.path());
    env.insert("XDG_RUNTIME_DIR", dir.path()); // a copy of its own
    env.insert("TARNVIK_DEV_ROOT", dir.path()); // no serial ports
    window.setProcessEnvironment(env);
    window.start(exe);
    QVERIFY(window.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(trace), 10000);
    QCOMPARE(::kill(pid_t(window.processId()), sig), 0);
    QVERIFY(window.waitForFinished(10000));
    QCOMPARE(window.exitStatus(), QProcess::CrashExit);
    const SettingsFile saved(ini);
    QCOMPARE(saved.ReadString("window", "width", ""), std::string("480"));
    QCOMPARE(saved.ReadString("device", "name", ""), std::string("PIC16F84A"));
    QVERIFY(saved.ReadBool("read", "smallblock", false));
    QCOMPARE(saved.ReadString("rts-dtr", "wait", ""), std::string("200"));
}

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
