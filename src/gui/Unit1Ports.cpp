// Programmer discovery and the port controls of the Option page: the probe of
// COM1 ... COM10, the start-up port choice, Open, Close, Search, Version, the
// modem lines and the wait field.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cerrno>
#include <utility>

#include "AppSettings.h"
#include "Colours.h"
#include "DeviceWatch.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "link/PortPermission.h"
#include "link/SerialDevices.h"
#include "link/UsbAdapter.h"
#include "link/discovery.h"
#include "PortNames.h"
#include "PortReportLines.h"
#include "texts/port_texts.h"
#include "texts/link_texts.h"

namespace {

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

void TForm1::ShowLines(const ReportLines &report)
{
    for (const ReportLine &line : report.lines) switch (line.kind) {
        case ReportLine::Kind::LogShown:
            AddLogShowingMessages(line.text);
            break;
        case ReportLine::Kind::Advice:
            AdvisePermission(line.devices);
            break;
        case ReportLine::Kind::Status:
            SetStatus(line.text);
            break;
        case ReportLine::Kind::LogAsStatus:
            AddLog(line.text);
            SetStatus(line.text);
            break;
        default:
            AddLog(line.text);
            break;
        }
}

void TForm1::AdvisePermission(const std::vector<std::string> &devices)
{
    for (const std::string &text : PermissionAdviceFor(devices))
        AddLog(text);
}

// ---- port state ----

ModemOptions TForm1::CurrentModemOptions() const
{
    ModemOptions options;
    options.ctrlChecked = options_->CheckBox7->isChecked();
    options.rtsGroupEnabled = options_->RadioGroup2->isEnabledTo(options_->TabSheet4);
    options.rtsOn = options_->RadioGroup2->ItemIndex() == 1;
    options.dtrOn = options_->RadioGroup3->ItemIndex() == 1;
    bool ok = false;
    const int wait = options_->Edit6->text().trimmed().toInt(&ok);
    options.waitMs = ok ? wait : 0;
    return options;
}

std::string TForm1::VersionReply()
{
    Link link{session.Port, session.Command, *this};
    return GetVersion(link);
}

void TForm1::SetPortLook(int n, PortLook look)
{
    options_->SetPortLook(n, look);
}

TForm1::PortLook TForm1::PortLookOf(int n) const
{
    return options_->PortLookOf(n);
}

void TForm1::RefreshPortHints()
{
    // A button's own hint would hide the frame's colour legend, so the
    // legend comes first and the device follows it: the path the map
    // gives, and for a stable name or a USB adapter what it leads to.
    for (int n = 1; n <= 10; ++n) {
        const std::string path = ComPortDevice(*Settings, ComName(n));
        std::string node, usb;
        if (!path.empty()) {
            node = NodePath(path);
            if (const std::optional<UsbAdapter> adapter = FindUsbAdapter(path)) usb = UsbDescription(*adapter);
        }
        options_->RadioButton[n - 1]->setToolTip(options_->GroupBox3->toolTip() + "\n" +
                                                 Q(texts::PortHint(ComName(n), path, node, usb)));
    }
}

// ---- probe and start-up choice ----

PortSearch TForm1::SearchPorts()
{
    session.Port.ClosePort();
    MarkPort(0);
    RefreshPortHints();
    for (int n = 1; n <= 10; ++n)
        SetPortLook(n, PortLook::Probing);
    ProbeListener listener;
    listener.starting = [this](int n) {
        MarkPort(n);
        SetPortLook(n, PortLook::Probing);
        ProcessMessages();
    };
    listener.done = [this](int n, PortState state) {
        // A USB adapter whose latency could not be lowered: said once.
        if (const std::string notice = session.Port.TakeNotice(); !notice.empty()) AddLog(notice);
        SetPortLook(n, state == PortState::Programmer     ? PortLook::Programmer
                       : state == PortState::NoProgrammer ? PortLook::NoProgrammer
                                                          : PortLook::Unusable);
    };
    Link link{session.Port, session.Command, *this};
    return SearchForProgrammer(link, *Settings, CurrentModemOptions(), listener);
}

int TForm1::ProbePorts(int &foundPort)
{
    const PortSearch search = SearchPorts();
    AdvisePermission(search.denied);
    foundPort = search.probe.found;
    return search.probe.result;
}

void TForm1::NoteOpen(PortChosen &chosen)
{
    // Kept now: once the device is unplugged its by-id link is gone too.
    openNode_ = chosen.opened ? NodePath(ComPortDevice(*Settings, chosen.port)) : std::string();
    chosen.notice = session.Port.TakeNotice();
}

void TForm1::ReportPortChosen(const PortChosen &chosen, bool choosePage)
{
    ShowLines(PortChosenLines(chosen, Audience::Window));
    const bool programmer = chosen.choice.how == PortHow::Searched ? chosen.searchResult == 0
                                                                   : chosen.programmer.value_or(false);
    // A search that found no port at all leaves the mark where it ended.
    if (chosen.choice.how == PortHow::Searched && chosen.searchResult >= 0)
        MarkPort(programmer ? ComNumber(chosen.port) : 0);
    if (programmer && Selected() < 0) SetStatus(texts::ChooseDevice());
    if (!choosePage) return;
    if (programmer)
        PageControl1->setCurrentIndex(ProgramTab);
    else if (chosen.choice.how == PortHow::Searched && chosen.searchResult < 0)
        PageControl1->setCurrentIndex(MessageTab);
    else if (chosen.choice.how == PortHow::Fixed && chosen.opened)
        PageControl1->setCurrentIndex(OptionTab);
}

void TForm1::StartupPortChoice()
{
    RefreshPortHints();
    const PortChoice choice = StartingPortChoice(*Settings, ReadAppSettings(*Settings).port);
    if (choice.how == PortHow::Fixed) {
        MarkPort(0);
        options_->CheckBox4->setChecked(true);
        PortChosen chosen = OpenChosenPort(session.Port, CurrentModemOptions(), choice);
        NoteOpen(chosen);
        if (chosen.opened) {
            MarkPort(session.Port.PortNumber());
            chosen.programmer = IsProgrammerReply(VersionReply());
            if (!*chosen.programmer) session.Port.ClosePort();
        }
        ReportPortChosen(chosen, true);
        return;
    }
    AddLog(texts::CheckingPorts());
    SetStatus(texts::CheckingPortsStatus());
    const PortSearch search = SearchPorts();
    PortChosen chosen = OpenChosenPort(session.Port, CurrentModemOptions(), choice, &search);
    NoteOpen(chosen);
    ReportPortChosen(chosen, true);
}

void TForm1::Timer1Timer()
{
    Timer1->stop();
    RunPortChoice();
    // Plugging in and out is followed from here on; the controls are the
    // user's already.
    if (!Watch) {
        Watch = new DeviceWatch(this);
        connect(Watch, &DeviceWatch::Added, this, [this](const QString &node) { DeviceAdded(node.toStdString()); });
        connect(Watch, &DeviceWatch::Removed, this,
                [this](const QString &node) { DeviceRemoved(node.toStdString()); });
        Watch->Listen();
    }
}

void TForm1::RunPortChoice()
{
    // The probe lets the window process events once per port. Keep every
    // command control still meanwhile, so that nothing else uses the port
    // half way through, and give each back the state it had: the port
    // choice is no command and must not enable what device selection left
    // disabled.
    QList<QPair<QWidget *, bool>> before;
    for (QWidget *w : LockedControls())
        before.append({w, w->isEnabled()});
    startupProbe_ = true;
    CommandLock(true);
    StartupPortChoice();
    for (const auto &[w, enabled] : before)
        w->setEnabled(enabled);
    ServeEventsWhileWaiting(false);
    startupProbe_ = false;
    RestoreFocusAfterLock();
}

// ---- plugging in and out ----

void TForm1::DeviceAdded(const std::string &node)
{
    // Nothing is probed while a command runs (nor under a question box).
    if (CloseMustWait() || !pendingDevices_.empty()) {
        pendingDevices_.push_back({true, node});
        RetryPendingDevices();
        return;
    }
    // A stable name may lead to another node than before.
    RefreshPortHints();
    // The boards are the production window's while it is open.
    if (ClosePending || session.Port.IsOpen() || production_) return;
    // Only a device the port choice would try: the fixed port's, or one a
    // COM name stands for.
    std::vector<std::string> names;
    if (const AppSettings::Port saved = ReadAppSettings(*Settings).port; saved.fixes)
        names.push_back(saved.name);
    else
        for (int n = 1; n <= 10; ++n)
            names.push_back(ComName(n));
    for (const std::string &name : names) {
        const std::string path = name.empty() ? name : ComPortDevice(*Settings, name);
        if (!path.empty() && NodePath(path) == node) {
            RunPortChoice();
            return;
        }
    }
}

void TForm1::DeviceRemoved(const std::string &node)
{
    if (CloseMustWait() || !pendingDevices_.empty()) {
        pendingDevices_.push_back({false, node});
        RetryPendingDevices();
        return;
    }
    if (!session.Port.IsOpen() || node != openNode_) return;
    const int n = session.Port.PortNumber();
    session.Port.ClosePort();
    openNode_.clear();
    AddLog(texts::LinkLost());
    AddLog(texts::PortClosed());
    SetStatus(texts::PortClosed());
    MarkPort(0);
    SetPortLook(n, PortLook::Unusable);
}

void TForm1::RetryPendingDevices()
{
    // Looked at again after a short while, like a close that had to wait.
    QTimer::singleShot(100, this, [this] {
        if (pendingDevices_.empty()) return;
        if (CloseMustWait()) {
            RetryPendingDevices();
            return;
        }
        const auto pending = std::exchange(pendingDevices_, {});
        for (const auto &[added, node] : pending)
            added ? DeviceAdded(node) : DeviceRemoved(node);
    });
}

// ---- Option page handlers ----

void TForm1::Button20Click()
{
    CommandLock(true);
    AddLog(texts::CheckingPorts());
    SetStatus(texts::CheckingPortsStatus());
    const PortSearch search = SearchPorts();
    PortChosen chosen = OpenChosenPort(session.Port, CurrentModemOptions(), {}, &search);
    NoteOpen(chosen);
    ReportPortChosen(chosen, false);
    CommandLock(false);
}

void TForm1::Button10Click()
{
    const int n = MarkedPort();
    const std::string name = ComName(n);
    if (n == 0) {
        SetStatus(texts::ChoosePortNumber());
        return;
    }
    RefreshPortHints();
    const std::string path = ComPortDevice(*Settings, name);
    PortChosen chosen = OpenChosenPort(session.Port, CurrentModemOptions(), {PortHow::Named, name, path, name, {}, {}});
    NoteOpen(chosen);
    // A USB adapter whose latency could not be lowered: said once.
    if (!chosen.notice.empty()) AddLog(chosen.notice);
    if (!chosen.opened) {
        AddLogShowingMessages(texts::PortCannotOpen(name));
        SetStatus(texts::PortCannotOpen(name));
        if (!path.empty() && (chosen.openErrno == EACCES || chosen.openErrno == EPERM)) AdvisePermission({path});
        MarkPort(0);
        return;
    }
    const std::string text = IsProgrammerVersionReply(VersionReply())
                                 ? texts::PortOpenedWithProgrammer(name)
                                 : texts::PortOpened(name);
    AddLog(text);
    SetStatus(text);
}

void TForm1::Button11Click()
{
    session.Port.ClosePort();
    MarkPort(0);
    AddLog(texts::PortClosed());
    SetStatus(texts::PortClosed());
}

void TForm1::Button12Click()
{
    PageControl1->setCurrentIndex(MessageTab);
    AddLog(texts::SoftwareVersionLine(VersionCaption.toStdString()));
    const std::string reply = VersionReply();
    if (IsProgrammerReply(reply)) {
        AddLog(texts::ControllerVersionLine(reply));
    } else {
        AddLog(texts::NoControllerVersion());
        SetStatus(texts::NoControllerVersion());
    }
}

void TForm1::RadioGroup2Click()
{
    session.Port.ApplyModemLine(ModemLine::RTS, options_->RadioGroup2->ItemIndex() == 1);
}

void TForm1::RadioGroup3Click()
{
    session.Port.ApplyModemLine(ModemLine::DTR, options_->RadioGroup3->ItemIndex() == 1);
}

// ---- the wait field: always four characters, digits right-aligned ----

namespace {

const QString NoWait = QStringLiteral("   0");

QString WaitAfterDelete(const QString &text)
{
    if (text.left(3).trimmed().isEmpty()) return NoWait;
    return " " + text.left(text.size() - 1);
}

QString WaitAfterDigit(const QString &text, QChar digit)
{
    if (text == NoWait) return QStringLiteral("   ") + digit;
    if (!text.isEmpty() && text[0].isDigit()) return text;
    return (text + digit).right(4);
}

} // namespace

bool TForm1::Edit6KeyDown(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
        options_->Edit6->setText(WaitAfterDelete(options_->Edit6->text()));
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        break;
    default:
        return false;
    }
    options_->Edit6->setCursorPosition(options_->Edit6->text().size());
    return true;
}

bool TForm1::Edit6KeyPress(QKeyEvent *event)
{
    // Tab still moves the focus on.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) return false;
    const QString typed = event->text();
    if (event->key() == Qt::Key_Backspace)
        options_->Edit6->setText(WaitAfterDelete(options_->Edit6->text()));
    else if (event->key() == Qt::Key_Escape)
        options_->Edit6->setText(NoWait);
    else if (typed.size() == 1 && typed[0] >= '0' && typed[0] <= '9')
        options_->Edit6->setText(WaitAfterDigit(options_->Edit6->text(), typed[0]));
    // Everything else is discarded.
    options_->Edit6->setCursorPosition(options_->Edit6->text().size());
    return true;
}
