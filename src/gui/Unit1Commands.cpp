// Command lock, the front end the core reports through, and the command
// handlers of the main window.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "MessageBox.h"
#include "AppSettings.h"
#include "Unit1.h"
#include "configbits/ConfigEdit.h"
#include "Unit3.h"

namespace {
QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace

// ---- window events ----

void TForm1::FormCreate()
{
    // Hints stay up for 10 s (set on every control at creation); the
    // settings file object was opened with the window. File dialogs are Qt's
    // own, so they look the same everywhere and tests can drive them.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TForm1::FormDestroy() {}

void TForm1::FormShow()
{
    setWindowTitle(VersionCaption);
    if (!FirstShowPending) return;
    FirstShowPending = false;
    // The port buttons were built with the window.
    ReadStartupSettings();
    for (int slot = 0; slot < 4; ++slot)
        ApplySlotState(slot, slot == 0 ? 1 : 0);
    session.Buffer.FillStartup();
    const AppSettings::Device saved = ReadAppSettings(*Settings).device;
    FillDeviceList(saved.pic18);
    SelectSavedDevice(saved.name);
    Timer1->start();
}

void TForm1::FormClick()
{
    FocusAfterDeviceList();
}

void TForm1::PageControl1Change(int index)
{
    LayoutAnchored();
    if (index == MessageTab)
        Memo4->verticalScrollBar()->setValue(Memo4->verticalScrollBar()->maximum());
    else if (index == OptionTab)
        MarkPort(session.Port.IsOpen() ? session.Port.PortNumber() : 0);
}

// ---- command lock ----

QList<QWidget *> TForm1::LockedControls() const
{
    QList<QWidget *> list{ComboBox1, Button1,  Button2,  Button3,  Button4,  Button5,  Button6,
                          Button7,   Button8,  Button9,  Button10, Button11, Button12, Button13,
                          Button14,  Button15, Button16, Button17, Button20};
    if (Form3) list.append(Form3->Button1);
    return list;
}

void TForm1::CommandLock(bool on)
{
    const QList<QWidget *> locked = LockedControls();
    if (on) lastChain_.reset();
    if (on && !lockFocus_) {
        // A focused control that is disabled hands the focus on to the next
        // one still enabled: Reset, which a Space meant to repeat the
        // command would press. While the command runs no control has it.
        QWidget *focused = focusWidget();
        for (QWidget *w = focused; w; w = w->parentWidget())
            if (locked.contains(w)) {
                lockFocus_ = focused;
                focused->clearFocus();
                break;
            }
    }
    for (QWidget *w : locked)
        w->setEnabled(!on);
    if (!on) RestoreFocusAfterLock();
}

void TForm1::RestoreFocusAfterLock()
{
    QPointer<QWidget> starter = lockFocus_;
    lockFocus_ = nullptr;
    if (!starter) return;
    if (focusWidget() && focusWidget() != starter) return; // the user chose another control meanwhile
    auto usable = [](QWidget *w) { return w && w->isVisible() && w->isEnabled(); };
    if (usable(starter))
        starter->setFocus(Qt::OtherFocusReason);
    else if (usable(ComboBox1))
        ComboBox1->setFocus(Qt::OtherFocusReason);
}

// ---- port buttons ----

void TForm1::MarkPort(int n)
{
    if (n >= 1 && n <= 10) {
        RadioButton[n - 1]->setChecked(true);
        return;
    }
    PortButtons->setExclusive(false);
    for (QRadioButton *r : RadioButton)
        r->setChecked(false);
    PortButtons->setExclusive(true);
}

int TForm1::MarkedPort() const
{
    for (int i = 0; i < 10; ++i)
        if (RadioButton[i]->isChecked()) return i + 1;
    return 0;
}

// ---- FrontEnd ----

void TForm1::SetStatus(const std::string &text)
{
    statusText_ = text;
    // A close waiting for the command says so after whatever the command
    // reports, until the window closes.
    Edit3->setText(ClosePending && !SmallBox.Active ? Q(text) + QStringLiteral("　") + CloseWaitNote
                                                    : Q(text));
    // A text wider than the line shows its beginning, where the " !! " of a
    // failure stands.
    Edit3->setCursorPosition(0);
}

const std::string &TForm1::StatusText() const
{
    return statusText_;
}

void TForm1::AddLog(const std::string &line)
{
    Memo4->appendPlainText(Q(line));
    Memo4->verticalScrollBar()->setValue(Memo4->verticalScrollBar()->maximum());
}

void TForm1::AddLogShowingMessages(const std::string &line)
{
    PageControl1->setCurrentIndex(MessageTab);
    AddLog(line);
}

void TForm1::SetDialogStatus(const std::string &text)
{
    if (Form3) Form3->SetStatusText(Q(text));
}

ProgressBar &TForm1::DialogProgress()
{
    return Form3 ? Form3->Progress() : noDialogProgress_;
}

void TForm1::ShowMessage(const std::string &text)
{
    MessageBox::Information(this, Q(text));
}

bool TForm1::ConfirmErasedCalibration(const std::string &text)
{
    // "いいえ" first and the default: keeping the chip as it is must be the
    // answer an accidental Enter gives.
    return MessageBox::Show(this, QMessageBox::Warning, MessageBox::Title, Q(text + "このまま消去しますか？"),
                            {QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}, 0) == 1;
}

std::string TForm1::DifferenceLine(const std::string &address, const std::string &file,
                                   const std::string &chip) const
{
    return "0x" + address + ": ファイル " + file + "、デバイス " + chip;
}

void TForm1::ProcessMessages()
{
    QCoreApplication::processEvents();
}

bool TForm1::CalibChange() const
{
    return CheckBox2->isChecked();
}

OperationOptions TForm1::Options() const
{
    OperationOptions options;
    options.smallBlock = SmallBlockFlag;
    options.verifyUserId = CheckBox3->isChecked();
    options.calibChange = CalibChange();
    // A CAL field's four digits, the first two the high byte; a field not
    // filled in keeps the word read from the chip.
    auto field = [](const QString &text) -> std::optional<uint16_t> {
        const std::string digits = text.toStdString();
        return digits.size() == 4 ? ParseConfigField(digits) : std::nullopt;
    };
    options.cal1 = field(MaskEdit1->text());
    options.cal2 = field(MaskEdit2->text());
    return options;
}

// ---- commands of this window ----

void TForm1::Button8Click()
{
    close();
}

void TForm1::Button9Click()
{
    Memo4->clear();
}

void TForm1::Button13Click()
{
    CommandLock(true);
    if (BufferClear()) {
        SetStatus("バッファをクリアしました。");
        AddLog("バッファをクリアしました。");
    } else {
        // Without a device there is no blank state to clear to.
        SetStatus(" !! デバイスを選択してください。");
        AddLogShowingMessages("DEVICE が選択されていません。");
    }
    CommandLock(false);
}

void TForm1::Button19Click()
{
    ForgetCurrentFile();
    FocusAfterDeviceList();
}

void TForm1::PopupUnder(QPushButton *vButton, QPushButton *mainButton, QMenu *menu)
{
    // The "v" keeps the focus while its menu is open: disabling it, even for
    // a moment, would hand the focus to the next command button, which an
    // Enter after Esc would then run.
    vButton->setDown(false);
    menu->popup(mainButton->mapToGlobal(QPoint(0, mainButton->height())));
}

void TForm1::Button14Click()
{
    PopupUnder(Button14, Button4, PopupMenu1);
}

void TForm1::Button15Click()
{
    PopupUnder(Button15, Button5, PopupMenu2);
}

void TForm1::Button16Click()
{
    PopupUnder(Button16, Button1, PopupMenu3);
}

void TForm1::CheckBox7Click()
{
    const bool on = CheckBox7->isChecked();
    RadioGroup2->setEnabled(on);
    RadioGroup3->setEnabled(on);
    Edit6->setEnabled(on);
}

void TForm1::CheckBox8Click()
{
    SaveAllFlag = CheckBox8->isChecked();
}

void TForm1::CheckBox9Click()
{
    SmallBlockFlag = CheckBox9->isChecked();
}

// ---- option boxes read where they are used ----

void TForm1::CheckBox3Click() {}
void TForm1::CheckBox4Click() {}
void TForm1::CheckBox5Click() {}
void TForm1::CheckBox6Click() {}
