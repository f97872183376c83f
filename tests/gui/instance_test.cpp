#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "SingleInstance.h"
#include "Unit1.h"

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyAsksTheFirst();
    void crashedCopyDoesNotBlock();
    void secondProcessEndsAndRaisesTheFirst();
    void smallBoxStripIsLeftAlone();
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
    form.Timer1->setInterval(3600 * 1000); // this window needs no ports
    connect(&first, &SingleInstance::ActivationRequested, &form,
            [&form] { BringMainWindowToFront(&form, TForm1::VersionCaption); });
    form.show();
    QTRY_VERIFY(!form.FirstShowPending);
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

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
