#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "DeviceWatch.h"
#include "FakeDevTree.h"
#include "link/PortPermission.h"
#include "portrig.h"

namespace {

enum class Look { Probing, Grey, Orange, Black };

// The designed hues, made darker or lighter as the palette needs; "black"
// is the palette's own text colour.
Look LookOf(const QRadioButton *b)
{
    const QColor c = b->palette().color(QPalette::WindowText);
    if (!b->isEnabled()) return Look::Grey;
    const int hue = c.toHsl().hslHue();
    if (b->font().bold() && hue >= 25 && hue <= 35) return Look::Orange;
    if (b->font().bold() && hue == 240) return Look::Probing;
    return c == b->parentWidget()->palette().color(QPalette::WindowText) && !b->font().bold() ? Look::Black
                                                                                               : Look::Probing;
}

// COM1 and COM2 answer nothing, the programmer sits on COM3, the rest are
// absent.
void TypicalBank(PortBank &bank)
{
    bank.AddSilent(PortRig::DevicePath(1));
    bank.AddSilent(PortRig::DevicePath(2));
    bank.AddProgrammer(PortRig::DevicePath(3));
}

} // namespace

class PortsTest : public QObject {
    Q_OBJECT
private slots:
    void startupProbeFindsProgrammer();
    void probeResults();
    void startupWithoutUsablePorts();
    void fixedPortAtStartup();
    void openCloseVersion();
    void permissionRefusalExplained();
    void modemLines();
    void waitFieldKeys();
    void searchLocksAndReopens();
    void plugInAndOut();
};

void PortsTest::startupProbeFindsProgrammer()
{
    PortRig rig;
    TForm1 &f = rig.Start(TypicalBank);

    QCOMPARE(LookOf(Ui(f).RadioButtons()[0]), Look::Black);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[1]), Look::Black);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[2]), Look::Orange);
    for (int i = 3; i < 10; ++i)
        QCOMPARE(LookOf(Ui(f).RadioButtons()[i]), Look::Grey);
    QVERIFY(Ui(f).PortOpen());
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));
    QCOMPARE(rig.bank->OpenPath(), PortRig::DevicePath(3));
    QCOMPARE(Ui(f).MarkedPort(), 3);
    const QStringList log = rig.Log();
    QVERIFY(log.contains("ポートをチェックしています。"));
    QVERIFY(log.contains("COM3をオープンしました。"));
    QVERIFY(log.contains("プログラマーの接続を確認しました。"));
    // No device was saved, so the status line asks for one.
    QCOMPARE(Ui(f).Edit(3)->text(), QString(" デバイスを選択してください。"));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));
    // Absent ports are passed without a pause.
    QVERIFY2(rig.bank->PausedMs() < 200, qPrintable(QString::number(rig.bank->PausedMs())));
    // The tooltips keep the frame's colour legend in view and name the
    // device each COM name stands for.
    QCOMPARE(Ui(f).RadioButtons()[2]->toolTip(),
             QString("オレンジ：Tarnbox、黒：未接続、グレー：使用不可\nCOM3 → /dev/ttyS2"));
    QVERIFY(Ui(f).RadioButtons()[9]->toolTip().contains("/dev/ttyACM1"));
    // The start-up choice is no command: with no device the buffer commands
    // stay disabled, while the port controls are usable.
    QVERIFY(!Ui(f).Button(3)->isEnabled());
    QVERIFY(Ui(f).Button(20)->isEnabled());
    QVERIFY(Ui(f).Button(8)->isEnabled());
}

void PortsTest::probeResults()
{
    PortRig rig;
    rig.Settings().WriteBool("port", "fixes", true); // keep the start-up probe out of the way
    TForm1 &f = rig.Start([](PortBank &bank) {
        bank.AddProgrammer(PortRig::DevicePath(2));
        bank.AddProgrammer(PortRig::DevicePath(5));
        bank.AddSilent(PortRig::DevicePath(7));
    });
    int found = -1;
    QCOMPARE(Ui(f).ProbePorts(found), 0);
    QCOMPARE(found, 2);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[1]), Look::Orange);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[4]), Look::Orange);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[6]), Look::Black);
    QCOMPARE(LookOf(Ui(f).RadioButtons()[0]), Look::Grey);
    // Every port is probed once, even after the first find, and none
    // stays open.
    QVERIFY(!Ui(f).PortOpen());
    QCOMPARE(Ui(f).MarkedPort(), 10);
    QCOMPARE(rig.bank->At(PortRig::DevicePath(5))->Opens(), 1);
}

void PortsTest::startupWithoutUsablePorts()
{
    {
        PortRig rig;
        TForm1 &f = rig.Start();
        for (QRadioButton *b : Ui(f).RadioButtons())
            QCOMPARE(LookOf(b), Look::Grey);
        QCOMPARE(Ui(f).MarkedPort(), 10);
        QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
        QCOMPARE(Ui(f).Edit(3)->text(), QString("使用できるポートがありません。"));
        QVERIFY(rig.Log().contains("使用できるポートがありません。"));
    }
    {
        PortRig rig;
        TForm1 &f = rig.Start([](PortBank &bank) { bank.AddSilent(PortRig::DevicePath(1)); });
        QCOMPARE(Ui(f).Edit(3)->text(), QString("プログラマーの接続を確認してください。"));
        QVERIFY(rig.Log().contains("プログラマーの接続を確認してください。"));
        QCOMPARE(Ui(f).MarkedPort(), 0);
        QVERIFY(!Ui(f).PortOpen());
    }
}

void PortsTest::fixedPortAtStartup()
{
    {
        PortRig rig;
        rig.Settings().WriteBool("port", "fixes", true);
        rig.Settings().WriteString("port", "name", "COM3");
        rig.Settings().WriteString("device", "name", "PIC16F877A");
        TForm1 &f = rig.Start(TypicalBank);
        QVERIFY(Ui(f).CheckBox(4)->isChecked());
        QCOMPARE(Ui(f).PortName(), std::string("COM3"));
        QCOMPARE(Ui(f).MarkedPort(), 3);
        QCOMPARE(Ui(f).Edit(3)->text(), QString("COM3 をオープンし、プログラマーの接続を確認しました。"));
        QVERIFY(rig.Log().contains("COM3 をオープンしました。"));
        QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));
        // Nothing else was probed.
        QCOMPARE(rig.bank->At(PortRig::DevicePath(1))->Opens(), 0);
        QCOMPARE(LookOf(Ui(f).RadioButtons()[0]), Look::Black);
    }
    {
        PortRig rig;
        rig.Settings().WriteBool("port", "fixes", true);
        rig.Settings().WriteString("port", "name", "COM7");
        TForm1 &f = rig.Start([](PortBank &bank) { bank.AddSilent(PortRig::DevicePath(7)); });
        QVERIFY(!Ui(f).PortOpen());
        QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::OptionTab));
        QCOMPARE(Ui(f).Edit(3)->text(), QString("COM7 にプログラマーを確認できませんでした。"));
        QVERIFY(rig.Log().contains("COM7 にプログラマーを確認できませんでした。"));
    }
    {
        PortRig rig;
        rig.Settings().WriteBool("port", "fixes", true);
        rig.Settings().WriteString("port", "name", "COM9");
        TForm1 &f = rig.Start(TypicalBank);
        QVERIFY(!Ui(f).PortOpen());
        QCOMPARE(Ui(f).Edit(3)->text(), QString("ポートをオープンしてください。"));
        QCOMPARE(rig.Log().mid(0, 2), QStringList({"COM9 はオープンできません。",
                                                   "Tarnboxを接続したポートをオープンしてください。"}));
    }
    {
        PortRig rig;
        rig.Settings().WriteBool("port", "fixes", true);
        TForm1 &f = rig.Start(TypicalBank);
        QVERIFY(!Ui(f).PortOpen());
        QCOMPARE(Ui(f).Edit(3)->text(), QString("ポート番号が指定されていません。"));
        QVERIFY(rig.Log().contains("使用するポートは固定ですが、ポート番号が指定されていません。"));
    }
}

void PortsTest::openCloseVersion()
{
    PortRig rig;
    rig.Settings().WriteBool("port", "fixes", true);
    TForm1 &f = rig.Start([](PortBank &bank) {
        TypicalBank(bank);
        SimOptions other;
        other.versionText = "Vexa-2 Tarnbox";
        bank.AddProgrammer(PortRig::DevicePath(5), other);
    });

    Ui(f).MarkPort(0);
    Ui(f).Button(10)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("!!ポート番号を選択してください"));
    QVERIFY(!Ui(f).PortOpen());

    Ui(f).MarkPort(3);
    Ui(f).Button(10)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM3 をオープンし、プログラマーの接続を確認しました。"));
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));

    // A reply with the model tag but not the version prefix still opens.
    Ui(f).MarkPort(5);
    Ui(f).Button(10)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM5 をオープンしました。"));
    QCOMPARE(Ui(f).PortName(), std::string("COM5"));

    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    Ui(f).MarkPort(4);
    Ui(f).Button(10)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM4 がオープンできません！"));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
    QCOMPARE(Ui(f).MarkedPort(), 0);
    QVERIFY(!Ui(f).PortOpen());

    Ui(f).MarkPort(3);
    Ui(f).Button(10)->click();
    Ui(f).Memo(4)->clear();
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    Ui(f).Button(12)->click();
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
    QCOMPARE(rig.Log(), QStringList({"ソフトウェアバージョン Tarnvik Ver.2.53+a",
                                     "コントローラバージョン Vexa Ver.1.30 Tarnbox"}));

    Ui(f).Button(11)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("ポートをクローズしました"));
    QVERIFY(!Ui(f).PortOpen());
    QCOMPARE(Ui(f).MarkedPort(), 0);

    Ui(f).Memo(4)->clear();
    Ui(f).Button(12)->click();
    QCOMPARE(rig.Log(), QStringList({"ソフトウェアバージョン Tarnvik Ver.2.53+a",
                                     "コントローラバージョンが取得できません。"}));
    QCOMPARE(Ui(f).Edit(3)->text(), QString("コントローラバージョンが取得できません。"));
}

void PortsTest::permissionRefusalExplained()
{
    PortRig rig;
    // A device node that exists, so its group can be named.
    const QString node = rig.dir.filePath("ttyTarnbox");
    QFile(node).open(QIODevice::WriteOnly);
    rig.Settings().WriteString("ports", "com2", node.toStdString());
    rig.Settings().WriteString("ports", "com6", "/nonexistent/ttyGone");
    rig.Settings().WriteBool("port", "fixes", true);
    TForm1 &f = rig.Start([&](PortBank &bank) {
        bank.Deny(node.toStdString());
        bank.Deny("/nonexistent/ttyGone");
    });
    QVERIFY(Ui(f).RadioButtons()[1]->toolTip().contains(node));

    Ui(f).MarkPort(2);
    Ui(f).Button(10)->click();
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM2 がオープンできません！"));
    // The command line's advice, from the node's mode bits and owner.
    const QString advice = rig.Log().last();
    QCOMPARE(advice, QString::fromStdString(PermissionAdviceFor({node.toStdString()}).front()));
    QVERIFY2(advice.startsWith(node + " を開く権限がありません（-rw-"), qPrintable(advice));

    // The probe names every refused device once; a node that cannot be
    // looked at gets the udev rule, never a group it cannot see.
    Ui(f).Memo(4)->clear();
    int found = 0;
    Ui(f).ProbePorts(found);
    const QStringList log = rig.Log();
    QCOMPARE(log.filter("権限").size(), 2);
    const QString gone = log.filter("/nonexistent/ttyGone").first();
    QVERIFY2(gone.contains("70-tarnbox.rules") && !gone.contains("usermod"), qPrintable(gone));

    // An absent device is no permission problem.
    Ui(f).Memo(4)->clear();
    Ui(f).MarkPort(3);
    Ui(f).Button(10)->click();
    QCOMPARE(rig.Log(), QStringList({"COM3 がオープンできません！"}));
}

void PortsTest::modemLines()
{
    PortRig rig;
    rig.Settings().WriteBool("port", "fixes", true);
    TForm1 &f = rig.Start(TypicalBank);
    SimBackend &programmer = *rig.bank->At(PortRig::DevicePath(3));

    QVERIFY(!Ui(f).RadioGroup(2)->isEnabled());
    // Without CTRL both lines stay inactive.
    Ui(f).MarkPort(3);
    Ui(f).Button(10)->click();
    QVERIFY(!programmer.Rts() && !programmer.Dtr());

    Ui(f).CheckBox(7)->click();
    QVERIFY(Ui(f).RadioGroup(2)->isEnabled() && Ui(f).RadioGroup(3)->isEnabled() &&
            Ui(f).Edit(6)->isEnabled());
    // Nothing is sent until the next open.
    QVERIFY(!programmer.Rts());
    const int pausedBefore = rig.bank->PausedMs();
    Ui(f).Button(10)->click();
    QVERIFY(programmer.Rts() && !programmer.Dtr());
    QCOMPARE(rig.bank->PausedMs() - pausedBefore, 200);

    // The groups change the line of an open port at once.
    Ui(f).RadioGroup(3)->Item(1)->click();
    QVERIFY(programmer.Dtr());
    Ui(f).RadioGroup(2)->Item(0)->click();
    QVERIFY(!programmer.Rts());

    Ui(f).CheckBox(7)->click();
    QVERIFY(!Ui(f).RadioGroup(2)->isEnabled() && !Ui(f).Edit(6)->isEnabled());
}

void PortsTest::waitFieldKeys()
{
    PortRig rig;
    rig.Settings().WriteBool("port", "fixes", true);
    TForm1 &f = rig.Start();
    QLineEdit *e = Ui(f).Edit(6);
    QVERIFY(e->alignment() & Qt::AlignRight);
    Ui(f).CheckBox(7)->click();
    e->setFocus();
    QCOMPARE(e->text(), QString(" 200"));

    struct Step {
        int key;
        QString text; // typed text, empty for keys without one
        QString result;
    };
    const Step steps[] = {
        {Qt::Key_5, "5", "2005"},     {Qt::Key_6, "6", "2005"}, // four digits: no room
        {Qt::Key_Delete, "", " 200"}, {Qt::Key_Backspace, "\b", "  20"}, {Qt::Key_0, "0", " 200"},
        {Qt::Key_A, "a", " 200"},   // other characters are discarded
        {Qt::Key_Left, "", " 200"}, // so are the cursor keys
        {Qt::Key_Escape, "", "   0"}, {Qt::Key_9, "9", "   9"},          {Qt::Key_Backspace, "\b", "   0"},
        {Qt::Key_Delete, "", "   0"}, {Qt::Key_0, "0", "   0"},          {Qt::Key_7, "7", "   7"},
        {Qt::Key_4, "4", "  74"},
    };
    for (const Step &s : steps) {
        e->setCursorPosition(1);
        QKeyEvent press(QEvent::KeyPress, s.key, Qt::NoModifier, s.text);
        QApplication::sendEvent(e, &press);
        QCOMPARE(e->text(), s.result);
        QCOMPARE(e->cursorPosition(), 4);
    }
    // Opening reads the field as milliseconds.
    QCOMPARE(Ui(f).CurrentModemOptions().waitMs, 74);
}

void PortsTest::searchLocksAndReopens()
{
    PortRig rig;
    rig.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = rig.Start(TypicalBank);
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM3 をオープンし、プログラマーの接続を確認しました。"));

    // While the probe runs, every command control is locked.
    QStringList enabledDuringProbe;
    auto *watch = new QTimer(&f);
    connect(watch, &QTimer::timeout, [&] {
        for (QWidget *w : Ui(f).LockedControls())
            if (w->isEnabled() && !enabledDuringProbe.contains(w->objectName()))
                enabledDuringProbe << w->objectName();
    });
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    Ui(f).Memo(4)->clear();
    watch->start(0);
    Ui(f).Button(20)->click();
    watch->stop();
    QVERIFY2(enabledDuringProbe.isEmpty(), qPrintable(enabledDuringProbe.join(' ')));
    for (QWidget *w : Ui(f).LockedControls())
        QVERIFY(w->isEnabled());
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));
    QCOMPARE(Ui(f).MarkedPort(), 3);
    QVERIFY(rig.Log().contains("COM3をオープンしました。"));
    QCOMPARE(Ui(f).Edit(3)->text(), QString("COM3 をオープンし、プログラマーの接続を確認しました。"));
    // Search chooses no page.
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::OptionTab));
}

// A board behind a by-id name in the [ports] map, plugged in and out while
// the window runs: udev's announcements come through the watch's seam.
void PortsTest::plugInAndOut()
{
    FakeDevTree tree("gui-plug");
    const std::string byId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const std::string node = tree.AddUsbTty("ttyUSB4", {.serial = "A50285BI"}, byId);
    const QString nodeText = QString::fromStdString(node);
    PortRig rig;
    rig.Settings().WriteString("ports", "com5", byId);
    TForm1 &f = rig.Start();
    QVERIFY(!Ui(f).PortOpen());
    // The button's hint names the device behind the stable name.
    QVERIFY2(
        Ui(f).RadioButtons()[4]->toolTip().endsWith(QString::fromStdString(
            "COM5 → " + tree.ById(byId) + "（" + node + "、FTDI FT232R USB UART, 0403:6001, usb:A50285BI）")),
        qPrintable(Ui(f).RadioButtons()[4]->toolTip()));
    SimBackend &board = rig.bank->AddProgrammer(tree.ById(byId));

    struct Step {
        const char *what;
        bool added;
        QString node;
        bool locked;   // a command runs meanwhile
        bool openAfter; // COM5 open once the window is idle again
        int opens;     // the board's opens so far
    } steps[] = {
        {"another device", true, "/dev/ttyUSB9", false, false, 0},
        {"the board", true, nodeText, false, true, 2}, // the probe's open and the port's
        {"again while open", true, nodeText, false, true, 2},
        {"another device leaves", false, "/dev/ttyUSB9", false, true, 2},
        {"the board leaves", false, nodeText, false, false, 2},
        {"the board during a command", true, nodeText, true, true, 4},
        {"and leaves during one", false, nodeText, true, false, 4},
    };
    for (const Step &s : steps) {
        Ui(f).Memo(4)->clear();
        if (s.locked) Ui(f).CommandLock(true);
        Ui(f).Announce(s.added, s.node);
        if (s.locked) {
            QTest::qWait(150);
            QCOMPARE(board.Opens(), s.opens - (s.added ? 2 : 0)); // nothing probed meanwhile
            Ui(f).CommandLock(false);
        }
        QTRY_COMPARE_WITH_TIMEOUT(Ui(f).PortOpen(), s.openAfter, 2000);
        QCOMPARE(board.Opens(), s.opens);
        if (s.openAfter) {
            QCOMPARE(Ui(f).PortName(), std::string("COM5"));
            QCOMPARE(LookOf(Ui(f).RadioButtons()[4]), Look::Orange);
        }
        if (s.added && s.openAfter && s.opens != 2) QVERIFY(rig.Log().contains("COM5をオープンしました。"));
        if (!s.added && !s.openAfter) {
            QCOMPARE(rig.Log(), QStringList({"プログラマーからの応答が途切れました。", "ポートをクローズしました"}));
            QCOMPARE(Ui(f).Edit(3)->text(), QString("ポートをクローズしました"));
            QCOMPARE(LookOf(Ui(f).RadioButtons()[4]), Look::Grey);
            QCOMPARE(Ui(f).MarkedPort(), 0);
        }
    }
}

QTEST_MAIN(PortsTest)
#include "ports_test.moc"
