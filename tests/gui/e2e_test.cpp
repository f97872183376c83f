// End to end in a real window on an X display: the window over the real
// serial code against tarnbox-sim on a pseudo-terminal behind COM3. Start-up
// discovery, device selection, LOAD of a gpasm-built file, the full program
// chain from its menu, Small Box "&Read" from the strip's menu, and back.
// Screenshots of the main window, the Configuration Memory tab and the strip
// with its menu open go to the build folder.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "FileDialog.h"
#include "MessageBox.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowDriver.h"
#include "image/hex.h"
#include "settings/settings.h"

namespace {

QAction *ActionNamed(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

void ClickItem(QMenu *menu, const QString &text)
{
    QAction *a = ActionNamed(menu, text);
    QVERIFY2(a, qPrintable(text));
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
}

QString Save(const QPixmap &picture, const QString &name)
{
    QDir().mkpath(TARNVIK_SHOT_DIR);
    const QString path = QString(TARNVIK_SHOT_DIR) + "/" + name;
    if (!picture.save(path, "PNG")) return {};
    std::printf("screenshot: %s\n", qPrintable(path));
    return path;
}

// The screen where a window and what belongs to it stand, frames included.
QString SaveScreenArea(const QWidget &window, QRect area, const QString &name)
{
    area.adjust(-4, -4, 4, 4);
    return Save(window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()), name);
}

} // namespace

class EndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void programAndReadBack();
    void boardVariants_data();
    void boardVariants();

private:
    QProcess sim_;
    QString pty_;
    QTemporaryDir dir_;
};

void EndToEnd::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display (the CTest entry starts one)");
    sim_.start(TARNBOX_SIM, {"--chip", "PIC16F877A"});
    QVERIFY(sim_.waitForStarted(5000));
    QVERIFY(sim_.waitForReadyRead(5000));
    pty_ = QString::fromLocal8Bit(sim_.readLine()).trimmed();
    QVERIFY(pty_.startsWith("/dev/"));
}

void EndToEnd::cleanupTestCase()
{
    if (sim_.state() != QProcess::NotRunning) {
        sim_.terminate();
        sim_.waitForFinished(3000);
    }
}

void EndToEnd::programAndReadBack()
{
    // The settings beside the program: every COM name but COM3 leads nowhere.
    const std::string ini = dir_.filePath("tarnvik.ini").toStdString();
    {
        SettingsFile s(ini);
        for (int n = 1; n <= 10; ++n)
            s.WriteString("ports", "com" + std::to_string(n), n == 3 ? pty_.toStdString() : "");
        s.WriteString("device", "group", "PIC16");
        // The strip over the progress dialog's title, as it might stand over
        // the development environment's menu bar.
        s.WriteInteger("window", "minnbtop", 80);
        s.WriteInteger("window", "minnbleft", 300);
        s.Save();
    }
    FileDialog::Reset();
    MessageBox::Reset();
    TForm1 f(nullptr, ini);
    TForm3 dialog;
    f.SetProgressDialog(&dialog);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    // Start-up discovery finds the programmer on COM3.
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).PortOpen() && !Ui(f).Timer1()->isActive(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).Button(8)->isEnabled(), 15000);
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));
    QVERIFY(Ui(f).Memo(4)->toPlainText().contains("プログラマーの接続を確認しました。"));
    QCOMPARE(Ui(f).Edit(3)->text(), QString(" デバイスを選択してください。"));

    // Device selection from the list.
    const int row = Ui(f).ComboBox1()->findText("PIC16F877A");
    QVERIFY(row > 0);
    Ui(f).ComboBox1()->setCurrentIndex(row);
    emit Ui(f).ComboBox1()->activated(row);
    QVERIFY(Ui(f).Button(1)->isEnabled());

    // LOAD a file gpasm made.
    const QString file = QString(TARNVIK_HEX_FIXTURES) + "/p16f877a.hex";
    FileDialog::PreAnswer(file);
    QTest::mouseClick(Ui(f).Button(1), Qt::LeftButton);
    QCOMPARE(Ui(f).Edit(3)->text(), QString(" \"p16f877a.hex\" をロードしました。"));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("p16f877a.hex"));
    MemoryBuffer expected;
    {
        std::string tag;
        DeviceInformation info{};
        expected.Clear(DeviceTable[row]);
        LoadHex16(file.toStdString(), expected.Words, tag, info);
    }
    QCOMPARE(Ui(f).Buffer().Words, expected.Words);
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    QTest::qWait(100);
    SaveScreenArea(f, f.frameGeometry(), "e2e-main-window.png");

    // The full chain from the programming menu.
    QTest::mouseClick(Ui(f).Button(14), Qt::LeftButton);
    QTRY_VERIFY(Ui(f).PopupMenu(1)->isVisible());
    QTest::qWait(100);
    SaveScreenArea(f, Ui(f).PopupMenu(1)->geometry(), "e2e-programming-menu.png");
    ClickItem(Ui(f).PopupMenu(1), ">BufferClear >Load >Erase >BlankCheck >Program >Verify");
    QTRY_COMPARE_WITH_TIMEOUT(Ui(f).Edit(3)->text(), QString("ベリファイOK。一致しました。"), 60000);
    QTRY_VERIFY(Ui(f).Button(4)->isEnabled());
    const QString log = Ui(f).Memo(4)->toPlainText();
    QVERIFY(log.contains("バッファをクリアしました。"));
    QVERIFY(log.contains("ファイル \"p16f877a.hex\" をロードしました。"));
    QVERIFY(log.contains("デバイスはブランクです。"));
    QVERIFY(log.contains("ベリファイOK。一致しました。"));

    Ui(f).PageControl1()->setCurrentIndex(TForm1::ConfigTab);
    QTest::qWait(100);
    SaveScreenArea(f, f.frameGeometry(), "e2e-configuration-tab.png");

    // Small Box: the strip, its menu, "&Read" with the progress dialog.
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    Ui(f).CheckBox(5)->setChecked(true);
    QTest::mouseClick(Ui(f).Button(17), Qt::LeftButton);
    QVERIFY(Ui(f).SmallBoxActive());
    QTRY_VERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.windowTitle(), QString("Vexa"));
    QCOMPARE(f.size(), QSize(74, 18));
    Ui(f).EditBuffer().Clear(DeviceTable[row]);
    QTest::qWait(100);
    Save(f.grab().scaled(f.size() * 4), "e2e-small-box-strip-x4.png");
    QTest::mouseClick(Ui(f).SpeedButton1(), Qt::LeftButton);
    QTRY_VERIFY(Ui(f).PopupMenu(4)->isVisible());
    QTest::qWait(200);
    SaveScreenArea(f, f.frameGeometry().united(Ui(f).PopupMenu(4)->geometry()), "e2e-small-box-menu.png");
    ClickItem(Ui(f).PopupMenu(4), "&Read");
    QTRY_COMPARE_WITH_TIMEOUT(dialog.StaticText1->text(), QString("デバイスからバッファに読み込みました。"),
                              60000);
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY(dialog.Button1->isEnabled());
    QCOMPARE(Ui(f).Edit(3)->text(), QString("デバイスからバッファに読み込みました。"));
    // The chip holds the file.
    for (uint32_t i = 0; i < DeviceTable[row].ProgramSize; ++i)
        if (expected.Words[i] != 0x3FFF) QCOMPARE(Ui(f).Buffer().Words[i], expected.Words[i]);
    for (uint32_t i = 0; i < DeviceTable[row].EEDataSize; ++i)
        QCOMPARE(Ui(f).Buffer().Words[EEDataAreaStart + i] & 0xFF,
                 expected.Words[EEDataAreaStart + i] & 0xFF);
    QTest::qWait(100);
    SaveScreenArea(f, f.frameGeometry().united(dialog.frameGeometry()), "e2e-small-box-read.png");

    // The menu stays shut until OK; then "Re&turn to Settings..." goes back.
    QTest::mouseClick(Ui(f).SpeedButton1(), Qt::LeftButton);
    QVERIFY(!Ui(f).PopupMenu(4)->isVisible());
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QTest::mouseClick(Ui(f).SpeedButton1(), Qt::LeftButton);
    ClickItem(Ui(f).PopupMenu(4), "Re&turn to Settings...");
    QTRY_VERIFY(!Ui(f).SmallBoxActive());
    QCOMPARE(f.windowTitle(), TForm1::VersionCaption);
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));
    QVERIFY(Ui(f).Button(4)->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The status line is no Tab stop: it does not take the focus either.
    QVERIFY(!Ui(f).Edit(3)->hasFocus());
    Ui(f).ClosePort();
}

void EndToEnd::boardVariants_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("board");
    QTest::newRow("padded with NUL") << "PIC16F877A" << "p16f877a.hex" << QStringList{"--version-pad", "00"};
    QTest::newRow("padded, PIC18") << "PIC18F4550" << "p18f4550.hex" << QStringList{"--version-pad", "20"};
    QTest::newRow("packets") << "PIC16F877A" << "p16f877a.hex" << QStringList{"--chunk", "64", "--seed", "2"};
    QTest::newRow("jitter") << "PIC16F877A" << "p16f877a.hex"
                            << QStringList{"--jitter", "8", "--slow-reply", "300", "--seed", "3"};
    // A pseudo-terminal shows no latency timer: the window learns the 16 ms
    // from the late answers.
    QTest::newRow("usb=16, not told") << "PIC10F200" << "p10f200.hex" << QStringList{"--line", "usb=16"};
}

// Start-up discovery, the full program chain and READ against each kind of
// board the protocol allows.
void EndToEnd::boardVariants()
{
    QFETCH(QString, device);
    QFETCH(QString, fixture);
    QFETCH(QStringList, board);
    QProcess sim;
    sim.start(TARNBOX_SIM, QStringList{"--chip", device} + board);
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const bool pic18 = device.startsWith("PIC18");
    QTemporaryDir dir;
    const std::string ini = dir.filePath("tarnvik.ini").toStdString();
    {
        SettingsFile s(ini);
        for (int n = 1; n <= 10; ++n)
            s.WriteString("ports", "com" + std::to_string(n), n == 3 ? pty.toStdString() : "");
        s.WriteString("device", "group", pic18 ? "PIC18" : "PIC16");
        s.Save();
    }
    FileDialog::Reset();
    MessageBox::Reset();
    TForm1 f(nullptr, ini);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).PortOpen() && !Ui(f).Timer1()->isActive(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(Ui(f).Button(8)->isEnabled(), 15000);
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));

    const int row = Ui(f).ComboBox1()->findText(device);
    QVERIFY(row > 0);
    Ui(f).ComboBox1()->setCurrentIndex(row);
    emit Ui(f).ComboBox1()->activated(row);
    const QString file = QString(TARNVIK_HEX_FIXTURES) + "/" + fixture;
    FileDialog::PreAnswer(file);
    QTest::mouseClick(Ui(f).Button(1), Qt::LeftButton);
    QCOMPARE(Ui(f).Edit(3)->text(), " \"" + fixture + "\" をロードしました。");
    const MemoryBuffer loaded = Ui(f).Buffer();

    QTest::mouseClick(Ui(f).Button(14), Qt::LeftButton);
    ClickItem(Ui(f).PopupMenu(1), ">BufferClear >Load >Erase >BlankCheck >Program >Verify");
    QTRY_COMPARE_WITH_TIMEOUT(Ui(f).Edit(3)->text(), QString("ベリファイOK。一致しました。"), 120000);
    QTRY_VERIFY(Ui(f).Button(3)->isEnabled());

    // READ into a cleared buffer gives the file's memories back.
    if (pic18)
        Ui(f).EditBuffer().Clear(DeviceTable18[row]);
    else
        Ui(f).EditBuffer().Clear(DeviceTable[row]);
    QTest::mouseClick(Ui(f).Button(3), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Ui(f).Edit(3)->text(), QString("デバイスからバッファに読み込みました。"),
                              120000);
    if (pic18) {
        QVERIFY(Ui(f).Buffer().Program18 == loaded.Program18);
        QVERIFY(Ui(f).Buffer().EEData18 == loaded.EEData18);
    } else {
        const TDeviceSpec &d = DeviceTable[row];
        for (uint32_t i = 0; i < d.ProgramSize; ++i)
            if (i != d.CalibAddress1) QCOMPARE(Ui(f).Buffer().Words[i], loaded.Words[i]);
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            QCOMPARE(Ui(f).Buffer().Words[EEDataAreaStart + i] & 0xFF, loaded.Words[EEDataAreaStart + i] & 0xFF);
    }
    Ui(f).ClosePort();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

QTEST_MAIN(EndToEnd)
#include "e2e_test.moc"
