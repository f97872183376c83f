#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>

#include "AppSettings.h"
#include "portrig.h"

namespace {

// Every key the window writes at exit, as the file holds it afterwards.
QMap<QString, QString> WrittenKeys(const SettingsFile &s)
{
    QMap<QString, QString> keys;
    const char *const all[][2] = {
        {"window", "top"},        {"window", "left"},    {"window", "height"},   {"window", "width"},
        {"device", "group"},      {"device", "name"},    {"read", "smallblock"}, {"smallbox", "noborder"},
        {"device", "autoselect"}, {"rts-dtr", "enable"}, {"verify", "user-id"},  {"rts-dtr", "wait"},
        {"rts-dtr", "rts"},       {"rts-dtr", "dtr"},    {"port", "name"},       {"port", "fixes"},
    };
    for (const auto &k : all) {
        const std::string v = s.ReadString(k[0], k[1], "<missing>");
        if (v != "<missing>") keys[QString("%1/%2").arg(k[0], k[1])] = QString::fromStdString(v);
    }
    return keys;
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void noSettingsFile();
    void fullSettingsFile();
    void familyAndDeviceNames();
    void modemKeysOnlyWithCtrl();
    void maximisedStart();
    void unwritableAtExit();
    void retryAfterRepairWritesEverything();
    void closeWaitsForRunningCommand();
    void wireTrace();
    void signalInSmallBoxSavesWindowAndStrip();
};

void SettingsTest::noSettingsFile()
{
    PortRig rig;
    TForm1 &f = rig.Start();
    QVERIFY(!Ui(f).Pic18());
    QCOMPARE(Ui(f).ComboBox1()->count(), DeviceTableSize);
    QCOMPARE(Ui(f).Selected(), -1);
    for (QCheckBox *c : {Ui(f).CheckBox(3), Ui(f).CheckBox(4), Ui(f).CheckBox(5), Ui(f).CheckBox(6),
                         Ui(f).CheckBox(7), Ui(f).CheckBox(8), Ui(f).CheckBox(9)})
        QVERIFY2(!c->isChecked(), qPrintable(c->objectName()));
    QCOMPARE(Ui(f).RadioGroup(2)->ItemIndex(), 1);
    QCOMPARE(Ui(f).RadioGroup(3)->ItemIndex(), 0);
    QVERIFY(!Ui(f).RadioGroup(2)->isEnabled() && !Ui(f).RadioGroup(3)->isEnabled() &&
            !Ui(f).Edit(6)->isEnabled());
    QCOMPARE(Ui(f).Edit(6)->text(), QString(" 200"));
    const QPoint at = f.pos();

    QVERIFY(f.close());
    QVERIFY(MessageBox::Answered().isEmpty());
    const QMap<QString, QString> keys = WrittenKeys(rig.Settings());
    const QMap<QString, QString> expected{
        {"window/top", QString::number(at.y())},
        {"window/left", QString::number(at.x())},
        {"window/height", "337"},
        {"window/width", "480"},
        {"device/group", "PIC16"},
        {"read/smallblock", "0"},
        {"smallbox/noborder", "0"},
        {"device/autoselect", "0"},
        {"rts-dtr/enable", "0"},
        {"verify/user-id", "0"},
        {"rts-dtr/wait", "200"},
        {"rts-dtr/rts", "1"},
        {"rts-dtr/dtr", "0"},
        {"port/name", ""},
        {"port/fixes", "0"},
    };
    QCOMPARE(keys, expected);
}

void SettingsTest::fullSettingsFile()
{
    PortRig rig;
    {
        auto s = rig.Settings();
        s.WriteInteger("window", "top", 40);
        s.WriteInteger("window", "left", 60);
        s.WriteInteger("window", "height", 500);
        s.WriteInteger("window", "width", 900); // beyond the widest the window may be
        s.WriteString("device", "group", "PIC16");
        s.WriteString("device", "name", "pic16f84a");
        s.WriteBool("device", "autoselect", true);
        s.WriteBool("read", "smallblock", true);
        s.WriteBool("smallbox", "noborder", true);
        s.WriteBool("verify", "user-id", true);
        s.WriteBool("rts-dtr", "enable", true);
        s.WriteInteger("rts-dtr", "rts", 0);
        s.WriteInteger("rts-dtr", "dtr", 1);
        s.WriteString("rts-dtr", "wait", "5");
        s.WriteBool("port", "fixes", true);
        s.WriteString("port", "name", "COM3");
    }
    TForm1 &f = rig.Start([](PortBank &bank) { bank.AddProgrammer(PortRig::DevicePath(3)); });
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC16F84A"));
    QVERIFY(Ui(f).CheckBox(9)->isChecked() && Ui(f).SmallBlockFlag());
    QVERIFY(Ui(f).CheckBox(7)->isChecked());
    QVERIFY(Ui(f).RadioGroup(2)->isEnabled() && Ui(f).RadioGroup(3)->isEnabled() &&
            Ui(f).Edit(6)->isEnabled());
    QCOMPARE(Ui(f).RadioGroup(2)->ItemIndex(), 0);
    QCOMPARE(Ui(f).RadioGroup(3)->ItemIndex(), 1);
    QCOMPARE(Ui(f).Edit(6)->text(), QString("   5"));
    QVERIFY(Ui(f).CheckBox(5)->isChecked() && Ui(f).CheckBox(6)->isChecked() &&
            Ui(f).CheckBox(3)->isChecked());
    QVERIFY(Ui(f).CheckBox(4)->isChecked());
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));
    QCOMPARE(f.pos(), QPoint(60, 40));
    QCOMPARE(f.size(), QSize(490 - 8, 500 - 34));

    QVERIFY(f.close());
    const QMap<QString, QString> keys = WrittenKeys(rig.Settings());
    QCOMPARE(keys["window/width"], QString("490"));
    QCOMPARE(keys["window/height"], QString("500"));
    QCOMPARE(keys["window/top"], QString("40"));
    QCOMPARE(keys["device/name"], QString("PIC16F84A"));
    QCOMPARE(keys["rts-dtr/wait"], QString("5")); // read back without its blanks
    QCOMPARE(keys["rts-dtr/rts"], QString("0"));
    QCOMPARE(keys["rts-dtr/dtr"], QString("1"));
    QCOMPARE(keys["port/name"], QString("COM3"));
    QCOMPARE(keys["port/fixes"], QString("1"));
    QCOMPARE(keys["read/smallblock"], QString("1"));
    QVERIFY(!Ui(f).PortOpen());
}

void SettingsTest::familyAndDeviceNames()
{
    struct Case {
        const char *group;
        const char *name;
        bool pic18;
        const char *selected; // empty: nothing selected
    };
    const Case cases[] = {
        {"PIC16", "PIC12F675", false, "PIC12F675"},
        {"pic16", "", true, ""}, // letter case counts for the family
        {"PIC18", "pic18f4550", true, "PIC18F4550"},
        {"", "", true, ""},
        {"PIC16", "PIC18F4550", false, ""}, // a name of the other family selects nothing
        {"PIC18", "PIC16F877A", true, ""},
        {"PIC16", "PIC99X", false, ""},
    };
    for (const Case &c : cases) {
        PortRig rig;
        rig.Settings().WriteString("device", "group", c.group);
        rig.Settings().WriteString("device", "name", c.name);
        rig.Settings().WriteBool("port", "fixes", true);
        TForm1 &f = rig.Start();
        const QString what = QString("%1/%2").arg(c.group, c.name);
        QVERIFY2(Ui(f).Pic18() == c.pic18, qPrintable(what));
        QCOMPARE(Ui(f).ComboBox1()->count(), c.pic18 ? DeviceTable18Size : DeviceTableSize);
        QCOMPARE(Ui(f).ComboBox1()->currentText(), QString(c.selected));
        QVERIFY(f.close());
        // The family goes back as either exact word.
        QCOMPARE(rig.Settings().ReadString("device", "group", ""), std::string(c.pic18 ? "PIC18" : "PIC16"));
        // An unselected device leaves the saved name alone.
        QCOMPARE(rig.Settings().ReadString("device", "name", ""),
                 std::string(*c.selected ? c.selected : c.name));
    }
}

void SettingsTest::modemKeysOnlyWithCtrl()
{
    {
        PortRig rig;
        rig.Settings().WriteBool("rts-dtr", "enable", false);
        rig.Settings().WriteInteger("rts-dtr", "rts", 0);
        rig.Settings().WriteString("rts-dtr", "wait", "77");
        TForm1 &f = rig.Start();
        QCOMPARE(Ui(f).RadioGroup(2)->ItemIndex(), 1);
        QVERIFY(!Ui(f).RadioGroup(2)->isEnabled());
        QCOMPARE(Ui(f).Edit(6)->text(), QString(" 200"));
        QVERIFY(f.close());
        QCOMPARE(rig.Settings().ReadInteger("rts-dtr", "rts", -1), 1);
        QCOMPARE(rig.Settings().ReadBool("rts-dtr", "enable", true), false);
    }
    // Long and unreadable waits still give a four-character field.
    const char *const waits[][2] = {{"12345", "9999"}, {"0", "   0"}, {"-5", " 200"}, {"abc", " 200"}};
    for (const auto &w : waits) {
        PortRig rig;
        rig.Settings().WriteBool("rts-dtr", "enable", true);
        rig.Settings().WriteString("rts-dtr", "wait", w[0]);
        TForm1 &f = rig.Start();
        QCOMPARE(Ui(f).Edit(6)->text(), QString(w[1]));
        // Text that bypasses the keys (a paste) is brought back to form.
        Ui(f).Edit(6)->selectAll();
        Ui(f).Edit(6)->insert(QString("x%1y").arg(w[0]));
        QCOMPARE(Ui(f).Edit(6)->text().size(), 4);
        QCOMPARE(Ui(f).CurrentModemOptions().waitMs,
                 QString(w[0]).remove(QRegularExpression("[^0-9]")).right(4).toInt());
    }
    // Hand-edited values open the port with the same lines and wait as the
    // command line, which opens it with ModemFor of the file's keys.
    const char *const odd[][4] = {{"1", "2", "1", "0x1388"}, {"2", "0", "-1", "5"}, {"-1", "1", "0", "x"}};
    for (const auto &keys : odd) {
        PortRig rig;
        rig.Settings().WriteString("rts-dtr", "enable", keys[0]);
        rig.Settings().WriteString("rts-dtr", "rts", keys[1]);
        rig.Settings().WriteString("rts-dtr", "dtr", keys[2]);
        rig.Settings().WriteString("rts-dtr", "wait", keys[3]);
        const ModemOptions line = ModemFor(ReadAppSettings(rig.Settings()).line);
        TForm1 &f = rig.Start();
        const ModemOptions window = Ui(f).CurrentModemOptions();
        QCOMPARE(window.ctrlChecked, line.ctrlChecked);
        QCOMPARE(window.rtsOn, line.rtsOn);
        QCOMPARE(window.dtrOn, line.dtrOn);
        QCOMPARE(window.waitMs, line.waitMs);
    }
}

void SettingsTest::maximisedStart()
{
    PortRig rig;
    rig.Settings().WriteBool("window", "maxmize", true);
    TForm1 &f = rig.Start();
    QVERIFY(f.isMaximized());
    QVERIFY(f.close());
    QVERIFY(rig.Settings().ReadInteger("window", "width", 0) <= 490);
    QVERIFY(rig.Settings().ReadInteger("window", "height", 0) <= 800);
    // Never written: the key stays as the user left it.
    QCOMPARE(rig.Settings().ReadBool("window", "maxmize", false), true);
}

void SettingsTest::unwritableAtExit()
{
    PortRig rig;
    rig.Settings().WriteBool("port", "fixes", true);
    rig.Settings().WriteString("port", "name", "COM3");
    TForm1 &f = rig.Start([](PortBank &bank) { bank.AddProgrammer(PortRig::DevicePath(3)); });
    QVERIFY(Ui(f).PortOpen());

    // A folder where the file should be refuses every write, even to root.
    const QString path = QString::fromStdString(rig.SettingsPath());
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));

    MessageBox::PreAnswer(1); // No: keep running
    QVERIFY(!f.close());
    QVERIFY(f.isVisible());
    QVERIFY(Ui(f).PortOpen());
    QCOMPARE(MessageBox::Answered(), QStringList{TForm1::WriteFailureText});
    QCOMPARE(TForm1::WriteFailureText.split('\n'),
             QStringList({"INIファイルに書込みできません。", "", "このまま終了しますか？", "",
                          "[ はい ] INIファイルに書込まないで終了します。",
                          "[いいえ] 終了しないでもとに戻ります。",
                          "[再試行] 再度INIファイルに書込みを試みます。"}));

    MessageBox::PreAnswer(2); // Retry, still refused
    MessageBox::PreAnswer(0); // Yes: end without the settings
    QVERIFY(f.close());
    QCOMPARE(MessageBox::Answered().size(), 3);
    QVERIFY(!f.isVisible());
    QVERIFY(!Ui(f).PortOpen());
    QVERIFY(QFileInfo(path).isDir());
}

void SettingsTest::retryAfterRepairWritesEverything()
{
    PortRig rig;
    TForm1 &f = rig.Start();
    rig.Choose("PIC16F628A");
    const QString path = QString::fromStdString(rig.SettingsPath());
    QFile::remove(path);
    QVERIFY(QDir().mkdir(path));

    // The real box: check its face, repair the file, press Retry.
    QString title, text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        QDir().rmdir(path);
        for (QAbstractButton *b : box->buttons())
            if (b->text() == "再試行(&R)") b->click();
    });
    QVERIFY(f.close());
    QCOMPARE(title, QString("警告"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(text, TForm1::WriteFailureText);
    QCOMPARE(buttons.size(), 3);
    for (const char *caption : {"はい(&Y)", "いいえ(&N)", "再試行(&R)"})
        QVERIFY(buttons.contains(caption));
    const QMap<QString, QString> keys = WrittenKeys(rig.Settings());
    QCOMPARE(keys.size(), 16);
    QCOMPARE(keys["device/name"], QString("PIC16F628A"));
}

void SettingsTest::closeWaitsForRunningCommand()
{
    PortRig rig;
    rig.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = rig.Start([](PortBank &bank) {
        bank.AddSilent(PortRig::DevicePath(1));
        bank.AddProgrammer(PortRig::DevicePath(3));
    });
    QCOMPARE(Ui(f).PortName(), std::string("COM3"));

    // The close arrives while Search probes the ports and lets events in.
    bool closedDuringSearch = false;
    QString said;
    QTimer::singleShot(0, &f, [&] {
        closedDuringSearch = !f.close();
        said = Ui(f).Edit(3)->text();
    });
    Ui(f).Button(20)->click();
    QVERIFY(closedDuringSearch);
    // The status line tells that the window will close.
    QVERIFY2(said.endsWith(TForm1::CloseWaitNote), qPrintable(said));
    QVERIFY(Ui(f).ClosePending());
    // Search has ended with COM3 open again; the close then proceeds as usual.
    QTRY_VERIFY(!f.isVisible());
    QVERIFY(!Ui(f).PortOpen());
    QVERIFY(!rig.bank->At(PortRig::DevicePath(3))->IsValid());
    QCOMPARE(rig.Settings().ReadString("port", "name", ""), std::string("COM3"));
    QCOMPARE(rig.Settings().ReadString("device", "name", ""), std::string("PIC16F877A"));
}

// [trace] file records the start-up probe and every command from then on,
// and the Option tab's hint names the file; the key stays in the file.
void SettingsTest::wireTrace()
{
    PortRig rig;
    const QString trace = rig.dir.filePath("session.trace");
    {
        auto s = rig.Settings();
        s.WriteBool("port", "fixes", true);
        s.WriteString("port", "name", "COM3");
        s.WriteString("trace", "file", trace.toStdString());
        s.WriteString("rts-dtr", "enable", "1");
        s.WriteString("rts-dtr", "rts", "2");
        s.WriteString("rts-dtr", "dtr", "1");
        s.WriteString("rts-dtr", "wait", "0x1388");
    }
    TForm1 &f = rig.Start([](PortBank &bank) { bank.AddProgrammer(PortRig::DevicePath(3)); });
    QVERIFY(Ui(f).PortOpen());
    QVERIFY(Ui(f).PageControl1()->tabToolTip(TForm1::OptionTab).contains(trace));
    QVERIFY(f.close());
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    QVERIFY2(lines[0].startsWith("# tarnvik (") && lines[0].contains("; port COM3; command: window"),
             qPrintable(lines[0]));
    QVERIFY(lines.filter(QRegularExpression("^[0-9.]+ open COM3$")).size() >= 1);
    QVERIFY(!lines.filter(QRegularExpression("^[0-9.]+ > [0-9A-F]{2}$")).isEmpty());
    QVERIFY(!lines.filter(QRegularExpression("^[0-9.]+ < [0-9A-F]{2}$")).isEmpty());
    QCOMPARE(rig.Settings().ReadString("trace", "file", ""), trace.toStdString());
    // The hand-edited line keys of the command line's test give the same
    // lines and wait here.
    QCOMPARE(lines.filter(QRegularExpression("^[0-9.]+ lines rts=1 dtr=1 wait=200$")).size(), 1);

    // A file that cannot be written is said in the log and the hint.
    PortRig other;
    other.Settings().WriteString("trace", "file", "/nonexistent/dir/t");
    TForm1 &g = other.Start();
    QVERIFY(Ui(g).PageControl1()->tabToolTip(TForm1::OptionTab).contains("書き込めません"));
    QVERIFY(!other.Log().filter("通信トレースを書き込めません").isEmpty());
}

// An ending signal in Small Box mode saves the strip's place as leaving it
// would, and the window's own place and size, not the strip's.
void SettingsTest::signalInSmallBoxSavesWindowAndStrip()
{
    PortRig rig;
    TForm1 &f = rig.Start();
    {
        TForm1 unshown(nullptr, rig.dir.filePath("unshown.ini").toStdString());
        QVERIFY(!Ui(unshown).SaveBeforeSignalEnd());
    }
    f.move(300, 200);
    Ui(f).CheckBox(5)->setChecked(true);
    Ui(f).Press(17);
    f.move(111, 122);
    QVERIFY(Ui(f).SaveBeforeSignalEnd());
    QVERIFY(MessageBox::Answered().isEmpty());
    const SettingsFile saved(rig.SettingsPath());
    QCOMPARE(saved.ReadInteger("window", "minnbtop", 0), 122);
    QCOMPARE(saved.ReadInteger("window", "minnbleft", 0), 111);
    QCOMPARE(saved.ReadInteger("window", "top", 0), 200);
    QCOMPARE(saved.ReadInteger("window", "left", 0), 300);
    QCOMPARE(saved.ReadInteger("window", "width", 0), 480);
    QVERIFY(!QFileInfo::exists(rig.dir.filePath("unshown.ini"))); // read before the first show: untouched
}

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
