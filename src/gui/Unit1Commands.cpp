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

#include "AppSettings.h"
#include "MessageBox.h"
#include "Session.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "Unit3.h"
#include "configbits/ConfigEdit.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"
#include "texts/window_texts.h"

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
        config_->ApplySlotState(slot, slot == 0 ? 1 : 0);
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
        log_->ScrollToEnd();
    else if (index == OptionTab)
        MarkPort(session.Port.IsOpen() ? session.Port.PortNumber() : 0);
}

// ---- command lock ----

QList<QWidget *> TForm1::LockedControls() const
{
    QList<QWidget *> list{device_->ComboBox1,  commands_->Button1,  commands_->Button2,  commands_->Button3,
                          commands_->Button4,  commands_->Button5,  commands_->Button6,  commands_->Button7,
                          device_->Button8,    log_->Button9,       options_->Button10,  options_->Button11,
                          options_->Button12,  commands_->Button13, commands_->Button14, commands_->Button15,
                          commands_->Button16, options_->Button17,  options_->Button20};
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
    ServeEventsWhileWaiting(on);
    if (!on) RestoreFocusAfterLock();
}

void TForm1::ServeEventsWhileWaiting(bool on)
{
    // A command waits for the programmer on the window's own thread; on a
    // USB adapter the exchanges between two progress steps add up to most of
    // a second. The port serves the events while it waits; the locked
    // controls keep a second command from starting meanwhile.
    if (on)
        session.Port.SetWaitService([this] { ProcessMessages(); });
    else
        session.Port.SetWaitService({});
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
    else if (usable(device_->ComboBox1))
        device_->ComboBox1->setFocus(Qt::OtherFocusReason);
}

// ---- port buttons ----

void TForm1::MarkPort(int n)
{
    options_->MarkPort(n);
}

int TForm1::MarkedPort() const
{
    return options_->MarkedPort();
}

// ---- FrontEnd ----

void TForm1::SetStatus(const std::string &text)
{
    // A close waiting for the command says so after whatever the command
    // reports, until the window closes.
    presenter_->SetStatus(text, ClosePending && !SmallBox.Active ? CloseWaitNote : QString());
}

const std::string &TForm1::StatusText() const
{
    return presenter_->StatusText();
}

void TForm1::AddLog(const std::string &line)
{
    presenter_->AddLog(line);
}

void TForm1::AddLogShowingMessages(const std::string &line)
{
    PageControl1->setCurrentIndex(MessageTab);
    AddLog(line);
}

void TForm1::SetDialogStatus(const std::string &text)
{
    presenter_->SetDialogStatus(text);
}

ProgressBar &TForm1::MainProgress()
{
    return presenter_->MainProgress();
}

ProgressBar &TForm1::DialogProgress()
{
    return presenter_->DialogProgress();
}

void TForm1::ShowMessage(const std::string &text)
{
    presenter_->ShowMessage(text);
}

bool TForm1::ConfirmErasedCalibration(const std::string &text)
{
    return presenter_->ConfirmErasedCalibration(text);
}

std::string TForm1::DifferenceLine(const std::string &address, const std::string &file,
                                   const std::string &chip) const
{
    return texts::DifferenceAt(address, file, chip);
}

void TForm1::ProcessMessages()
{
    QCoreApplication::processEvents();
}

bool TForm1::CalibChange() const
{
    return config_->CheckBox2->isChecked();
}

OperationOptions TForm1::Options() const
{
    OperationChoices choices;
    choices.smallBlock = SmallBlockFlag;
    choices.verifyUserId = options_->CheckBox3->isChecked();
    choices.calibChange = CalibChange();
    choices.cal1 = config_->MaskEdit1->text().toStdString();
    choices.cal2 = config_->MaskEdit2->text().toStdString();
    return OperationOptionsFor(choices);
}

// ---- commands of this window ----

void TForm1::Button8Click()
{
    close();
}

void TForm1::Button9Click()
{
    log_->Memo4->clear();
}

void TForm1::Button13Click()
{
    CommandLock(true);
    if (BufferClear()) {
        SetStatus(texts::BufferCleared());
        AddLog(texts::BufferCleared());
    } else {
        // Without a device there is no blank state to clear to.
        SetStatus(texts::SelectDeviceStatus());
        AddLogShowingMessages(texts::NoDeviceSelected());
    }
    CommandLock(false);
}

void TForm1::Button19Click()
{
    ForgetCurrentFile();
    FocusAfterDeviceList();
}

void TForm1::Button14Click()
{
    CommandRow::PopupUnder(commands_->Button14, commands_->Button4, commands_->PopupMenu1);
}

void TForm1::Button15Click()
{
    CommandRow::PopupUnder(commands_->Button15, commands_->Button5, commands_->PopupMenu2);
}

void TForm1::Button16Click()
{
    CommandRow::PopupUnder(commands_->Button16, commands_->Button1, commands_->PopupMenu3);
}

void TForm1::CheckBox7Click()
{
    const bool on = options_->CheckBox7->isChecked();
    options_->RadioGroup2->setEnabled(on);
    options_->RadioGroup3->setEnabled(on);
    options_->Edit6->setEnabled(on);
}

void TForm1::CheckBox8Click()
{
    SaveAllFlag = options_->CheckBox8->isChecked();
}

void TForm1::CheckBox9Click()
{
    SmallBlockFlag = options_->CheckBox9->isChecked();
}

// ---- option boxes read where they are used ----

void TForm1::CheckBox3Click() {}
void TForm1::CheckBox4Click() {}
void TForm1::CheckBox5Click() {}
void TForm1::CheckBox6Click() {}
