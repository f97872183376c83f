// A command stopped while it runs on a slow line: the window over the real
// serial code against tarnbox-sim --line usb=16 on a pseudo-terminal. A
// timer of the window's own event loop asks for the stop once the progress
// bar has moved, the way a stop arrives from outside.
#include <QApplication>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Unit1.h"
#include "WindowDriver.h"
#include "settings/settings.h"
#include "support/interrupt.h"

class StopTest : public QObject {
    Q_OBJECT
private slots:
    void stoppedProgramLeavesChipAndBufferSound();
};

void StopTest::stoppedProgramLeavesChipAndBufferSound()
{
    QProcess sim;
    sim.start(TARNBOX_SIM, {"--chip", "PIC16F877A", "--line", "usb=16"});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QTemporaryDir dir;
    const std::string ini = dir.filePath("tarnvik.ini").toStdString();
    {
        SettingsFile s(ini);
        s.WriteString("device", "group", "PIC16");
        s.WriteString("device", "name", "PIC16F877A");
        s.WriteBool("port", "fixes", true);
        s.WriteString("port", "name", "COM3");
        s.WriteString("ports", "com3", pty.toStdString());
        s.Save();
    }
    TForm1 f(nullptr, ini);
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).PortOpen() && !Ui(f).Timer1()->isActive(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).Button(8)->isEnabled(), 15000);
    const TDeviceSpec *device = Ui(f).SelectedDevice();
    QVERIFY(device);
    for (uint32_t i = 0; i < device->ProgramSize; ++i)
        Ui(f).EditBuffer().Words[i] = static_cast<uint16_t>((i * 0x9E37u + 0x1234u) % 0x3FFF);
    Ui(f).RedrawBuffer();
    const MemoryBuffer image = Ui(f).Buffer();

    // Served while PROG. waits for the programmer: the stop comes once some
    // words are written, and no second command can start meanwhile.
    bool asked = false, locked = false;
    QTimer stopper;
    stopper.setInterval(10);
    connect(&stopper, &QTimer::timeout, [&] {
        if (asked || Ui(f).ProgressBar1()->value() < 64) return;
        locked = !Ui(f).Button(3)->isEnabled() && !Ui(f).Button(4)->isEnabled();
        asked = true;
        RequestInterrupt(0);
    });
    stopper.start();
    QTest::mouseClick(Ui(f).Button(4), Qt::LeftButton);
    stopper.stop();
    QVERIFY(asked);
    QVERIFY(locked);
    QVERIFY(Ui(f).LastChain());
    QCOMPARE(int(Ui(f).LastChain()->outcome.kind), int(Outcome::Interrupted));
    ClearInterrupt();
    QVERIFY(Ui(f).Button(3)->isEnabled());
    QVERIFY(Ui(f).Buffer().Words == image.Words);

    // The programmer is back between commands: READ goes through and finds
    // the words written before the stop, and none after it.
    QTest::mouseClick(Ui(f).Button(3), Qt::LeftButton);
    QVERIFY(Ui(f).LastChain() && Ui(f).LastChain()->Ok());
    for (uint32_t i = 0; i < 32; ++i)
        QCOMPARE(Ui(f).Buffer().Words[i], image.Words[i]);
    QCOMPARE(Ui(f).Buffer().Words[device->ProgramSize - 1], uint16_t(0x3FFF));
    Ui(f).ClosePort();
    sim.terminate();
    sim.waitForFinished(3000);
}

QTEST_MAIN(StopTest)
#include "stop_test.moc"
