#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QWheelEvent>

#include "StepColumns.h"
#include "guitestutil.h"

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void screenshot();
    void nothingClippedAtDesignedSize();
    void controlsAtStart();
    void startWithoutSettingsSelectsNothing();
    void savedDeviceAndGroup_data();
    void savedDeviceAndGroup();
    void familySwitchBothWays();
    void selectionClearsBufferAndForgetsFile();
    void closedDeviceListPicksNothing();
    void noIdColours();
    void configFieldStatesFollowTheRow();
    void familySwitchOfConfigFields();
    void setStoresTypedValues();
    void valueFieldsAcceptOnlyTypedOverHexDigits();
    void commandLock();
    void bufferClearButton();
    void messageLogAndStatus();
    void progressDialogStaysWhereTheUserPutIt();
    void resetForgetsCurrentFile();
    void tallerWindowGrowsOnlyTheTabs();
    void menuOpensUnderItsButton();
    void programmingMenuStepColumns();
    void modemLineItemsApart();
    void tabReachesMenuButtonsBesideTheirButtons();
};

namespace {

QColor TextColour(QWidget *w)
{
    return w->palette().color(QPalette::Active, QPalette::WindowText);
}

bool Writable(QLineEdit *field)
{
    return field->isEnabled() && !field->isReadOnly();
}

} // namespace

void WindowTest::controlsAtStart()
{
    WindowUnderTest w;
    TForm1 &f = w.Create(false);
    QCOMPARE(f.windowTitle(), QString("Tarnvik Ver.2.53+a"));
    QCOMPARE(f.pos(), QPoint(190, 112));
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QStringList tabs{"Program Memory", "Data Memory", "Configuration Memory", "Option", "Message"};
    QCOMPARE(Ui(f).PageControl1()->count(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(Ui(f).PageControl1()->tabText(i), tabs[i]);
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::OptionTab));

    // Captions, hints and initial enabled states as the user first sees them.
    struct Expect {
        const char *name;
        const char *caption;
        bool enabled;
    };
    const Expect expected[] = {
        {"Button1", "LOAD", false},
        {"Button2", "SAVE", false},
        {"Button3", "READ", false},
        {"Button4", "PROG.", false},
        {"Button5", "ERASE", false},
        {"Button6", "BLANK?", false},
        {"Button7", "VERIFY", false},
        {"Button13", "Buffer CLEAR", false},
        {"Button14", "v", false},
        {"Button15", "v", false},
        {"Button16", "v", false},
        {"Button8", "END", true},
        {"Button19", "Reset", true},
        {"Button9", "CLEAR", true},
        {"Button10", "Open", true},
        {"Button11", "Close", true},
        {"Button20", "Search", true},
        {"Button12", "Version", true},
        {"Button17", "Small Box", true},
        {"Button18", "Set", false},
        {"CheckBox1", "Configデータを変更する", false},
        {"CheckBox2", "CALIBデータを変更する", false},
        {"CheckBox4", "COM Port is fixed", true},
        {"CheckBox7", "CTRL", true},
        {"CheckBox3", "[VERIFY] User-ID", true},
        {"CheckBox9", "[READ] Small Block", true},
        {"CheckBox8", "[SAVE] All Memory", true},
        {"CheckBox6", "[DEVICE] Auto Select", true},
        {"CheckBox5", "NoBorder", true},
    };
    for (const Expect &e : expected) {
        auto *b = f.findChild<QAbstractButton *>(e.name);
        QVERIFY2(b, e.name);
        QCOMPARE(b->text(), QString(e.caption));
        QCOMPARE(b->isEnabled(), e.enabled);
        QCOMPARE(b->toolTipDuration(), 10000);
    }
    QCOMPARE(f.findChild<QAbstractButton *>("Button13")->toolTip(), QString("バッファをクリアします。"));
    QCOMPARE(
        f.findChild<QWidget *>("StaticText2")->toolTip(),
        QString(
            "[LOAD] ボタンと \"LoadNewFile\" 以外の全ての \"Load\" でカレントファイルがロードされます。"));
    QCOMPARE(f.findChild<QWidget *>("Button17")->toolTip(),
             QString("MPLABのメニュー ”Programmer\" に重ねて使用します。"));
    for (int i = 1; i <= 10; ++i)
        QCOMPARE(f.findChild<QRadioButton *>(QString("RadioButton%1").arg(i))->text(),
                 QString("COM%1").arg(i));
    QCOMPARE(Ui(f).RadioGroup(2)->ItemIndex(), 1);
    QCOMPARE(Ui(f).RadioGroup(3)->ItemIndex(), 0);
    QVERIFY(!Ui(f).RadioGroup(2)->isEnabled() && !Ui(f).RadioGroup(3)->isEnabled());
    auto *wait = f.findChild<QLineEdit *>("Edit6");
    QCOMPARE(wait->text(), QString(" 200"));
    QVERIFY(!wait->isEnabled());
    auto *status = f.findChild<QLineEdit *>("Edit3");
    QCOMPARE(status->text(), QString("Message"));
    QVERIFY(status->isReadOnly());
    QCOMPARE(f.findChild<QLabel *>("StaticText1")->text(), QString("No ID!"));
    QCOMPARE(f.findChild<QLineEdit *>("MaskEdit1")->text(), QString("0000"));
    QCOMPARE(f.findChild<QLineEdit *>("MaskEdit9")->text(), QString("3FFF"));
    QCOMPARE(f.findChild<QLineEdit *>("Edit11")->text(), QString("0000:"));
    QCOMPARE(f.findChild<QWidget *>("SpeedButton1")->isHidden(), true);
    const QStringList programMenu{QString(53, ' ') + ">Program >Verify",
                                  QString(25, ' ') + ">Erase >BlankCheck >Program >Verify",
                                  ">BufferClear >Load" + QString(28, ' ') + ">Program >Verify",
                                  ">BufferClear >Load >Erase >BlankCheck >Program >Verify"};
    QCOMPARE(Ui(f).PopupMenu(1)->actions().size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Ui(f).PopupMenu(1)->actions()[i]->text(), programMenu[i]);
}

void WindowTest::startWithoutSettingsSelectsNothing()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QVERIFY(!Ui(f).Pic18());
    QCOMPARE(Ui(f).ComboBox1()->count(), 71);
    QCOMPARE(Ui(f).ComboBox1()->itemText(0), QString("<PIC18F>"));
    QCOMPARE(Ui(f).Selected(), -1);
    QVERIFY(!f.findChild<QWidget *>("Button3")->isEnabled());
    // The start-up fill stays until a device is chosen.
    QCOMPARE(Ui(f).Buffer().Words[0], 0x3FFF);
    QCOMPARE(Ui(f).Buffer().Words[0x23FF], 0x3FFF);
    QVERIFY(Ui(f).Memo(1)->toPlainText().startsWith("000000: 3FFF"));
}

void WindowTest::savedDeviceAndGroup_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pic18");
    QTest::addColumn<QString>("selected");
    QTest::newRow("name in other case") << "PIC16"
                                        << "pic16f877a" << false << "PIC16F877A";
    QTest::newRow("group in other case opens PIC18") << "pic16"
                                                     << "PIC18F452" << true << "PIC18F452";
    QTest::newRow("any other group opens PIC18") << "PIC18"
                                                 << "PIC18F4550" << true << "PIC18F4550";
    QTest::newRow("device of the other family") << "PIC16"
                                                << "PIC18F452" << false << "";
    QTest::newRow("PIC16 device in PIC18 list") << "PIC18"
                                                << "PIC16F84A" << true << "";
}

void WindowTest::savedDeviceAndGroup()
{
    QFETCH(QString, group);
    QFETCH(QString, name);
    QFETCH(bool, pic18);
    QFETCH(QString, selected);
    WindowUnderTest w;
    w.Settings().WriteString("device", "group", group.toStdString());
    w.Settings().WriteString("device", "name", name.toStdString());
    TForm1 &f = w.Create();
    QCOMPARE(Ui(f).Pic18(), pic18);
    QCOMPARE(Ui(f).ComboBox1()->count(), pic18 ? 21 : 71);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), selected);
    QCOMPARE(f.findChild<QWidget *>("Button4")->isEnabled(), !selected.isEmpty());
}

void WindowTest::familySwitchBothWays()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    Ui(f).EditBuffer().Words[5] = 0x1234;

    w.Choose("<PIC18F>");
    QVERIFY(Ui(f).Pic18());
    QCOMPARE(Ui(f).ComboBox1()->count(), 21);
    QCOMPARE(Ui(f).ComboBox1()->itemText(0), QString("<PIC16/12/10F>"));
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC18F242"));
    QCOMPARE(Ui(f).Buffer().Program18.size(), size_t(16384));
    QCOMPARE(Ui(f).Buffer().Program18[0], uint8_t(0xFF));
    QCOMPARE(Ui(f).Label(1)->text(),
             QString("ADDRESS 0000 0002 0004 0006 0008 000A 000C 000E ----- ASCII-----"));
    QCOMPARE(Ui(f).Buffer().Words[5], 0x1234); // the other half is left alone

    w.Choose("<PIC16/12/10F>");
    QVERIFY(!Ui(f).Pic18());
    QCOMPARE(Ui(f).ComboBox1()->count(), 71);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC10F200"));
    QCOMPARE(Ui(f).Buffer().Words[5], 0x0FFF);
    QCOMPARE(Ui(f).Label(1)->text(),
             QString("ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----"));
}

void WindowTest::selectionClearsBufferAndForgetsFile()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    w.Choose("PIC16F628A");
    Ui(f).EditBuffer().Words[0x10] = 0x0123;
    Ui(f).EditBuffer().Words[0x2100] = 0x0042;
    Ui(f).SetCurrentFile("/tmp/some/dir/blink.hex");
    QCOMPARE(f.findChild<QLabel *>("StaticText2")->text(), QString("blink.hex"));
    f.SetStatus("something");
    Ui(f).CheckBox(1)->setChecked(true);
    Ui(f).CommandLock(true);

    w.Choose("PIC16F628A"); // the same device again still resets
    QCOMPARE(Ui(f).Buffer().Words[0x10], 0x3FFF);
    QCOMPARE(Ui(f).Buffer().Words[0x2100], 0x3FFF);
    QVERIFY(Ui(f).CurrentFile().empty());
    QCOMPARE(f.findChild<QLabel *>("StaticText2")->text(), QString());
    QCOMPARE(f.findChild<QLineEdit *>("Edit3")->text(), QString());
    QVERIFY(!Ui(f).CheckBox(1)->isChecked());
    QVERIFY(Ui(f).CheckBox(1)->isEnabled());
    QVERIFY(f.findChild<QWidget *>("Button3")->isEnabled()); // the lock is released
}

// A wheel notch over the list or a key on it while it is closed keeps the
// part and the buffer; the list opens instead, and Enter there confirms.
void WindowTest::closedDeviceListPicksNothing()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    QComboBox *list = Ui(f).ComboBox1();
    auto wheel = [list](int notch) {
        QWheelEvent e(QPointF(20, 10), list->mapToGlobal(QPointF(20, 10)), {}, QPoint(0, notch),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list, &e);
    };
    const struct {
        const char *what;
        Qt::Key key;
        int notch; // a wheel turn instead of a key
    } slips[] = {{"wheel down", Qt::Key_unknown, -120}, {"wheel up", Qt::Key_unknown, 120},
                 {"Down", Qt::Key_Down, 0},            {"Up", Qt::Key_Up, 0},
                 {"Home", Qt::Key_Home, 0},            {"End", Qt::Key_End, 0},
                 {"PageDown", Qt::Key_PageDown, 0},    {"a letter", Qt::Key_P, 0}};
    for (const auto &slip : slips) {
        Ui(f).EditBuffer().Words[0] = 0x1234;
        Ui(f).SetCurrentFile("/x/read.hex");
        if (slip.notch) {
            list->clearFocus();
            wheel(slip.notch);
        } else {
            list->setFocus();
            QTest::keyClick(list, slip.key);
            QVERIFY2(list->view()->isVisible(), slip.what);
            list->hidePopup();
        }
        QVERIFY2(list->currentText() == "PIC16F877A" && !Ui(f).Pic18(), slip.what);
        QVERIFY2(Ui(f).Buffer().Words[0] == 0x1234, slip.what);
        QVERIFY2(Ui(f).StaticText(2)->text() == "read.hex", slip.what);
    }
    // Confirmed in the open list, the next part is chosen and clears.
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list->view(), Qt::Key_Down);
    QTest::keyClick(list->view(), Qt::Key_Return);
    QCOMPARE(list->currentIndex(), list->findText("PIC16F877A") + 1);
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x3FFF));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString());

    // Shift+F10 opens the list's own menu, as the Menu key does.
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(Ui(f).PopupMenu(5)->isVisible());
    Ui(f).PopupMenu(5)->hide();
}

void WindowTest::noIdColours()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QLabel *noId = f.findChild<QLabel *>("StaticText1");
    // Silver is the palette's grey; the red is as dark as the palette needs.
    const QColor silver = f.palette().color(QPalette::Disabled, QPalette::WindowText);
    auto red = [&] {
        const QColor c = TextColour(noId);
        return c.red() > 0 && c.green() == 0 && c.blue() == 0;
    };
    QCOMPARE(TextColour(noId), silver);
    w.Choose("PIC10F200");
    QVERIFY(red());
    w.Choose("PIC16F877A");
    QCOMPARE(TextColour(noId), silver);
    w.Choose("PIC16F57");
    QVERIFY(red());
    w.Choose("<PIC18F>");
    QCOMPARE(TextColour(noId), silver);
}

void WindowTest::configFieldStatesFollowTheRow()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    const auto addresses = Ui(f).SlotAddresses();
    const auto values = Ui(f).SlotValues();

    // Config1 only.
    w.Choose("PIC16F628A");
    QCOMPARE(addresses[0]->text(), QString("2007:"));
    QCOMPARE(values[0]->text(), QString("3FFF"));
    QVERIFY(values[0]->isEnabled() && values[0]->isReadOnly());
    for (int i = 1; i < 4; ++i) {
        QCOMPARE(addresses[i]->text(), QString("----:"));
        QCOMPARE(values[i]->displayText(), QString("----"));
        QVERIFY(!addresses[i]->isEnabled() && !values[i]->isEnabled());
    }
    QVERIFY(!Ui(f).CheckBox(2)->isEnabled());
    Ui(f).CheckBox(1)->setChecked(true);
    QVERIFY(Writable(values[0]));
    QVERIFY(Ui(f).Button(18)->isEnabled() && Ui(f).Label(9)->isEnabled());
    QCOMPARE(values[0]->palette().color(QPalette::Base), f.palette().color(QPalette::Base));
    Ui(f).CheckBox(1)->setChecked(false);
    QVERIFY(!Ui(f).Button(18)->isEnabled() && !Ui(f).Label(9)->isEnabled());
    QCOMPARE(values[0]->palette().color(QPalette::Base), f.palette().color(QPalette::Button));

    // Config2 and CAL1, no CAL2.
    w.Choose("PIC16F883");
    QCOMPARE(addresses[1]->text(), QString("2008:"));
    QVERIFY(values[1]->isEnabled() && values[1]->isReadOnly());
    QCOMPARE(addresses[2]->text(), QString("2009:"));
    QVERIFY(Ui(f).CheckBox(2)->isEnabled());
    QVERIFY(!addresses[3]->isEnabled());
    Ui(f).CheckBox(2)->setChecked(true);
    QVERIFY(Ui(f).Label(10)->isEnabled());
    QVERIFY(Writable(values[2]));
    QVERIFY(!Writable(values[1])); // Config2 follows the other box
    QVERIFY(Ui(f).CheckBox(2)->isChecked());
    Ui(f).CheckBox(1)->setChecked(true);
    QVERIFY(Writable(values[1]));

    // 12-bit with both calibration slots; selection unticks both boxes.
    w.Choose("PIC10F200");
    QVERIFY(!Ui(f).CheckBox(1)->isChecked() && !Ui(f).CheckBox(2)->isChecked());
    QCOMPARE(addresses[0]->text(), QString("01FF:"));
    QCOMPARE(values[0]->text(), QString("0FFF"));
    QCOMPARE(addresses[2]->text(), QString("00FF:"));
    QCOMPARE(addresses[3]->text(), QString("0104:"));
    QVERIFY(values[3]->isEnabled() && values[3]->isReadOnly());
    QVERIFY(!addresses[1]->isEnabled());
}

void WindowTest::familySwitchOfConfigFields()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "group", "PIC18");
    w.Settings().WriteString("device", "name", "PIC18F4550");
    TForm1 &f = w.Create();
    QList<QWidget *> pic18Only{Ui(f).Label(12), Ui(f).Label(16),   Ui(f).Edit(7),
                               Ui(f).Edit(11),  Ui(f).MaskEdit(5), Ui(f).MaskEdit(9)};
    QList<QWidget *> pic16Only{Ui(f).Label(2),    Ui(f).Label(4),    Ui(f).Edit(1),    Ui(f).Edit(2),
                               Ui(f).MaskEdit(1), Ui(f).MaskEdit(2), Ui(f).CheckBox(2)};
    for (QWidget *c : pic18Only)
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    for (QWidget *c : pic16Only)
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QCOMPARE(Ui(f).Edit(11)->text(), QString("000C:"));
    QCOMPARE(Ui(f).MaskEdit(4)->text(), QString("FFDF")); // CONFIG2 of an erased part, unimplemented bits set
    QVERIFY(!Writable(Ui(f).MaskEdit(9)));
    Ui(f).CheckBox(1)->setChecked(true);
    for (QLineEdit *v : Ui(f).Config18Values())
        QVERIFY2(Writable(v), qPrintable(v->objectName()));

    w.Choose("<PIC16/12/10F>");
    w.Choose("PIC16F877A");
    for (QWidget *c : pic18Only)
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    for (QWidget *c : {Ui(f).Label(2), Ui(f).Label(4)})
        QVERIFY(c->isEnabled());
    QVERIFY(!Ui(f).CheckBox(2)->isEnabled()); // no calibration words on this device
}

void WindowTest::setStoresTypedValues()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    w.Choose("PIC16F628A");
    Ui(f).CheckBox(1)->setChecked(true);
    Ui(f).MaskEdit(3)->setFocus();
    Ui(f).MaskEdit(3)->setCursorPosition(0);
    QTest::keyClicks(Ui(f).MaskEdit(3), "3f10");
    QCOMPARE(Ui(f).MaskEdit(3)->text(), QString("3F10"));
    QTest::mouseClick(Ui(f).Button(18), Qt::LeftButton);
    QCOMPARE(Ui(f).Buffer().Words[0x2007], 0x3F10);
    QVERIFY(Ui(f).Memo(3)->toPlainText().contains("3FFF 3F10 "));

    w.Choose("PIC10F200");
    Ui(f).CheckBox(1)->setChecked(true);
    Ui(f).MaskEdit(3)->setText("0FEB");
    QTest::mouseClick(Ui(f).Button(18), Qt::LeftButton);
    QCOMPARE(Ui(f).Buffer().Words[0x0FFF], 0x0FEB);
    QVERIFY(Ui(f).Memo(3)->toPlainText().contains("0001FF: 0FEB"));

    w.Choose("<PIC18F>");
    w.Choose("PIC18F452");
    Ui(f).CheckBox(1)->setChecked(true);
    Ui(f).MaskEdit(4)->setText("0E0F");
    QTest::mouseClick(Ui(f).Button(18), Qt::LeftButton);
    QCOMPARE(Ui(f).Buffer().Config18[2], uint8_t(0x0F));
    QCOMPARE(Ui(f).Buffer().Config18[3], uint8_t(0x0E));
    QCOMPARE(Ui(f).Buffer().Config18[0], uint8_t(0xFF));
    QVERIFY(Ui(f).Memo(3)->toPlainText().contains("300000: FFFF 0E0F FFFF"));
}

void WindowTest::valueFieldsAcceptOnlyTypedOverHexDigits()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    w.Choose("PIC16F628A");
    Ui(f).CheckBox(1)->setChecked(true);
    QLineEdit *field = Ui(f).MaskEdit(3);
    field->setFocus();
    field->setCursorPosition(2);
    QTest::keyClick(field, 'g');
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("3FFF"));
    // Typing over a selection overwrites from its start and leaves no gap.
    field->selectAll();
    QTest::keyClicks(field, "a");
    QCOMPARE(field->text().size(), 4);
    QCOMPARE(field->text(), QString("AFFF"));
}

void WindowTest::commandLock()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    const QStringList listed{"ComboBox1", "Button1",  "Button2",  "Button3",  "Button4",
                             "Button5",   "Button6",  "Button7",  "Button8",  "Button9",
                             "Button10",  "Button11", "Button12", "Button13", "Button14",
                             "Button15",  "Button16", "Button17", "Button20"};
    const QStringList unlisted{"Button19",    "Button18",  "CheckBox1",    "CheckBox3",
                               "CheckBox4",   "CheckBox5", "CheckBox6",    "CheckBox7",
                               "CheckBox8",   "CheckBox9", "RadioButton3", "RadioGroup2",
                               "RadioGroup3", "Edit6",     "PageControl1", "MaskEdit3"};
    f.findChild<QWidget *>("Button11")->setEnabled(false); // released to enabled whatever it was
    QMap<QString, bool> before;
    for (const QString &name : unlisted)
        before[name] = f.findChild<QWidget *>(name)->isEnabled();

    Ui(f).CommandLock(true);
    for (const QString &name : listed)
        QVERIFY2(!f.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
    QVERIFY(!w.dialog->Button1->isEnabled());
    for (const QString &name : unlisted)
        QVERIFY2(f.findChild<QWidget *>(name)->isEnabled() == before[name], qPrintable(name));

    Ui(f).CommandLock(false);
    for (const QString &name : listed)
        QVERIFY2(f.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
    QVERIFY(w.dialog->Button1->isEnabled());
    for (const QString &name : unlisted)
        QVERIFY2(f.findChild<QWidget *>(name)->isEnabled() == before[name], qPrintable(name));
}

void WindowTest::bufferClearButton()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    // Enabled by a released lock but nothing chosen: refused, buffer kept.
    Ui(f).CommandLock(false);
    Ui(f).EditBuffer().Words[0] = 0x0001;
    QTest::mouseClick(Ui(f).Button(13), Qt::LeftButton);
    QCOMPARE(Ui(f).Buffer().Words[0], 0x0001);
    QCOMPARE(f.findChild<QLineEdit *>("Edit3")->text(), QString(" !! デバイスを選択してください。"));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));

    w.Choose("PIC12F675");
    Ui(f).SetCurrentFile("/x/y.hex");
    Ui(f).EditBuffer().Words[0] = 0x0001;
    Ui(f).EditBuffer().Words[0x2007] = 0x0002;
    Ui(f).CheckBox(2)->setChecked(true);
    QTest::mouseClick(Ui(f).Button(13), Qt::LeftButton);
    QCOMPARE(Ui(f).Buffer().Words[0], 0x3FFF);
    QCOMPARE(Ui(f).Buffer().Words[0x2007], 0x3FFF);
    QCOMPARE(f.findChild<QLineEdit *>("Edit3")->text(), QString("バッファをクリアしました。"));
    QVERIFY(Ui(f).Memo(4)->toPlainText().endsWith("バッファをクリアしました。"));
    QCOMPARE(Ui(f).CurrentFile(), std::string("/x/y.hex")); // only selection forgets the file
    QVERIFY(!Ui(f).CheckBox(2)->isChecked());
    QVERIFY(Ui(f).CheckBox(2)->isEnabled());
    QVERIFY(Ui(f).Button(13)->isEnabled());
}

void WindowTest::messageLogAndStatus()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    f.AddLog("routine");
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));
    for (int i = 0; i < 200; ++i)
        f.AddLog("line " + std::to_string(i));
    f.AddLogShowingMessages("problem");
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
    QCoreApplication::processEvents();
    QScrollBar *bar = Ui(f).Memo(4)->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(0);
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    Ui(f).PageControl1()->setCurrentIndex(TForm1::MessageTab);
    QCOMPARE(bar->value(), bar->maximum());

    f.SetStatus("a");
    f.SetStatus("b");
    QCOMPARE(f.findChild<QLineEdit *>("Edit3")->text(), QString("b"));
    // A failure wider than the line still shows its marks.
    const std::string longFailure = " !! " + std::string(120, 'x');
    f.SetStatus(longFailure);
    QCOMPARE(Ui(f).Edit(3)->cursorPosition(), 0);
    QVERIFY(Ui(f).Edit(3)->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 10);
    f.SetStatus("keep");
    Ui(f).CheckBox(9)->click();
    QVERIFY(Ui(f).SmallBlockFlag());
    QTest::mouseClick(Ui(f).Button(9), Qt::LeftButton);
    QCOMPARE(Ui(f).Memo(4)->toPlainText(), QString());
    QCOMPARE(f.findChild<QLineEdit *>("Edit3")->text(), QString("keep"));

    f.SetDialogStatus("ベリファイOK。一致しました。");
    QCOMPARE(w.dialog->StaticText1->text(), QString("ベリファイOK。一致しました。"));
    ProgressBar &main = f.MainProgress();
    main.SetRange(0, 3);
    for (int i = 0; i < 3; ++i)
        main.StepIt();
    QCOMPARE(Ui(f).ProgressBar1()->value(), 3);
    main.SetPosition(0);
    QCOMPARE(Ui(f).ProgressBar1()->value(), 0);
    f.DialogProgress().SetRange(0, 10);
    f.DialogProgress().StepIt();
    QCOMPARE(w.dialog->ProgressBar1->value(), 1);

    MessageBox::PreAnswer(0);
    f.ShowMessage("info");
    QCOMPARE(MessageBox::Answered(), QStringList{"info"});
}

void WindowTest::progressDialogStaysWhereTheUserPutIt()
{
    WindowUnderTest w;
    w.Create();
    TForm3 &d = *w.dialog;
    QCOMPARE(d.windowTitle(), QString("Vexa"));
    QCOMPARE(d.size(), QSize(329, 54));
    QVERIFY(d.Button1->isDefault());
    QVERIFY(!d.isVisible());
    d.ShowDialog();
    QVERIFY(d.isVisible());
    QCOMPARE(d.pos(), QPoint(TForm3::DesignedLeft, TForm3::DesignedTop));
    // The user drags it aside, closes it with OK, and the next command
    // shows it again where it was left.
    d.move(300, 250);
    QTest::mouseClick(d.Button1, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    d.ShowDialog();
    QVERIFY(d.isVisible());
    QCOMPARE(d.pos(), QPoint(300, 250));
}

void WindowTest::resetForgetsCurrentFile()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    Ui(f).SetCurrentFile("/a/b/c.hex");
    QTest::mouseClick(Ui(f).Button(19), Qt::LeftButton);
    QVERIFY(Ui(f).CurrentFile().empty());
    QCOMPARE(f.findChild<QLabel *>("StaticText2")->text(), QString());
    QCOMPARE(Ui(f).Buffer().Words[0], 0x3FFF);
    // The focus moves on to the control after the device list.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Ui(f).Button(19)));
}

void WindowTest::tallerWindowGrowsOnlyTheTabs()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    const int tabs = Ui(f).PageControl1()->height();
    const int fromBottom = f.height() - Ui(f).Button(4)->y();
    const int statusFromBottom = f.height() - f.findChild<QWidget *>("Edit3")->y();
    f.resize(f.width(), f.height() + 200);
    QCOMPARE(Ui(f).PageControl1()->height(), tabs + 200);
    QCOMPARE(f.height() - Ui(f).Button(4)->y(), fromBottom);
    QCOMPARE(f.height() - f.findChild<QWidget *>("Edit3")->y(), statusFromBottom);
    QCOMPARE(Ui(f).PageControl1()->y(), 45);
    QCOMPARE(f.maximumWidth() - f.minimumWidth(), 10);
}

void WindowTest::menuOpensUnderItsButton()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    QTest::mouseClick(Ui(f).Button(14), Qt::LeftButton);
    QTRY_VERIFY(Ui(f).PopupMenu(1)->isVisible());
    QCOMPARE(Ui(f).PopupMenu(1)->pos(), Ui(f).Button(4)->mapToGlobal(QPoint(0, Ui(f).Button(4)->height())));
    QVERIFY(Ui(f).Button(14)->isEnabled());
    Ui(f).PopupMenu(1)->hide();
}

// Each step name starts where the other items show it, in the font the menu
// is drawn with.
void WindowTest::programmingMenuStepColumns()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    auto *style = qobject_cast<StepColumnStyle *>(Ui(f).PopupMenu(1)->style());
    QVERIFY(style);
    const QFontMetrics metrics(Ui(f).PopupMenu(1)->font());
    QMap<QString, QList<int>> columns;
    for (QAction *a : Ui(f).PopupMenu(1)->actions()) {
        const QString drawn = style->Drawn(a->text(), metrics);
        QCOMPARE(drawn.simplified(), a->text().simplified());
        for (const QString step : {">Erase", ">BlankCheck", ">Program", ">Verify"}) {
            const qsizetype at = drawn.indexOf(step + (step == ">Verify" ? "" : " "));
            if (at >= 0) columns[step] << metrics.horizontalAdvance(drawn.left(at));
        }
    }
    QCOMPARE(columns[">Program"].size(), 4);
    for (auto c = columns.cbegin(); c != columns.cend(); ++c) {
        const auto [low, high] = std::minmax_element(c->begin(), c->end());
        QVERIFY2(*high - *low <= 2, qPrintable(c.key()));
    }
}

// "OFF" keeps clear of the "ON" button beside it in the RTS and DTR groups.
void WindowTest::modemLineItemsApart()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    QCoreApplication::processEvents();
    for (TRadioGroup *g : {Ui(f).RadioGroup(2), Ui(f).RadioGroup(3)}) {
        QRadioButton *off = g->Item(0), *on = g->Item(1);
        QCOMPARE(off->text(), QString("OFF"));
        QVERIFY(off->width() >= off->sizeHint().width() && on->width() >= on->sizeHint().width());
        QVERIFY2(off->geometry().right() + 2 < on->x(), qPrintable(g->objectName()));
        QVERIFY(on->geometry().right() < g->width() - 2); // inside the group's frame
    }
}

void WindowTest::tabReachesMenuButtonsBesideTheirButtons()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    auto next = [](QWidget *w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    const std::pair<QWidget *, QWidget *> order[] = {
        {Ui(f).Button(1), Ui(f).Button(16)}, {Ui(f).Button(16), Ui(f).Button(2)},
        {Ui(f).Button(4), Ui(f).Button(14)}, {Ui(f).Button(14), Ui(f).Button(5)},
        {Ui(f).Button(5), Ui(f).Button(15)}, {Ui(f).Button(15), Ui(f).Button(6)}};
    for (auto [before, after] : order)
        QCOMPARE(next(before)->objectName(), after->objectName());
}

// Every caption fits its control at the designed size: a control narrower
// than its own size hint cuts its text.
void WindowTest::nothingClippedAtDesignedSize()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QCOMPARE(f.size(), QSize(TForm1::DesignedClientWidth, TForm1::DesignedClientHeight));
    QStringList clipped;
    for (int tab = 0; tab < 5; ++tab) {
        Ui(f).PageControl1()->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        for (QWidget *c : f.findChildren<QWidget *>()) {
            if (!c->isVisible() || c->objectName().isEmpty()) continue;
            const bool texty = qobject_cast<QAbstractButton *>(c) || qobject_cast<QLabel *>(c);
            if (!texty) continue;
            // A push button's hint has a style minimum; its text is what matters.
            auto *push = qobject_cast<QPushButton *>(c);
            const QSize need =
                push ? QSize(push->fontMetrics().horizontalAdvance(push->text()) + 8, 20) : c->sizeHint();
            if (push && push->width() == 12) continue; // the "v" buttons are designed 12 pixels wide
            if (need.width() > c->width() || need.height() > c->height() + 4)
                clipped << QString("%1 %2x%3 < %4x%5")
                               .arg(c->objectName())
                               .arg(c->width())
                               .arg(c->height())
                               .arg(need.width())
                               .arg(need.height());
            const QRect inWindow(c->mapTo(&f, QPoint(0, 0)), c->size());
            const QWidget *p = c->parentWidget();
            const QRect parentRect(p->mapTo(&f, QPoint(0, 0)), p->size());
            if (!parentRect.contains(inWindow)) clipped << c->objectName() + " leaves its parent";
        }
    }
    clipped.removeDuplicates();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
}

void WindowTest::screenshot()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    const QByteArray dir = qgetenv("TARNVIK_SCREENSHOT_DIR");
    if (dir.isEmpty()) QSKIP("set TARNVIK_SCREENSHOT_DIR to save screenshots");
    for (int tab = 0; tab < 5; ++tab) {
        Ui(f).PageControl1()->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        qInfo("page %d x %d", Ui(f).TabSheet(4)->width(), Ui(f).TabSheet(4)->height());
        f.grab().save(QString("%1/window-tab%2.png").arg(QString::fromLocal8Bit(dir)).arg(tab));
    }
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
#include "image/hex_load.h"
