// The settings file as the main window uses it: the options read at the
// first show, the keys written when the window closes, the warning when the
// file refuses them, and a close that waits for a running command.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QTabWidget>

#include "AppSettings.h"
#include "MessageBox.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "WindowPlaces.h"
#include "link/WireTrace.h"
#include "operations/CalibrationLog.h"
#include "support/interrupt.h"
#include "texts/window_texts.h"

namespace {

// The settings hold the outer size of the window as it was designed with a
// frame, whatever frame the window manager draws, so that a size read back
// is the size written; the window itself works with its client area.
constexpr int FrameWidth = TForm1::DesignedFrameWidth;
constexpr int FrameHeight = TForm1::DesignedFrameHeight;

} // namespace

const QString TForm1::WriteFailureText = QString::fromStdString(texts::SettingsUnwritableQuestion());

void TForm1::ReadStartupSettings()
{
    // The wait field is edited through its key table only. Text that arrives
    // another way (a paste, a drop, the X selection) is brought back to the
    // same four-character form, so the port always reads a number.
    options_->Edit6->setContextMenuPolicy(Qt::NoContextMenu);
    options_->Edit6->setAcceptDrops(false);
    connect(options_->Edit6, &QLineEdit::textEdited, this, [this](const QString &text) {
        QString digits;
        for (QChar c : text)
            if (c >= '0' && c <= '9') digits += c;
        options_->Edit6->setText(digits.isEmpty() ? QStringLiteral("   0")
                                                  : (QStringLiteral("    ") + digits.right(4)).right(4));
        options_->Edit6->setCursorPosition(4);
    });

    const AppSettings saved = ReadAppSettings(*Settings);
    SmallBlockFlag = saved.smallBlock;
    options_->CheckBox9->setChecked(SmallBlockFlag);

    if (const LineSettings &line = saved.line; line.enabled) {
        options_->CheckBox7->setChecked(true);
        options_->RadioGroup2->setEnabled(true);
        options_->RadioGroup3->setEnabled(true);
        options_->Edit6->setEnabled(true);
        options_->RadioGroup2->SetItemIndex(line.rtsOn ? 1 : 0);
        options_->RadioGroup3->SetItemIndex(line.dtrOn ? 1 : 0);
        options_->Edit6->setText(QString::fromStdString(line.waitText));
    }

    const AppSettings::Window &window = saved.window;
    // The size constraints clamp what the file asks for.
    resize(window.width.value_or(width() + FrameWidth) - FrameWidth,
           window.height.value_or(height() + FrameHeight) - FrameHeight);
    if (WindowPlacesKnown()) PlaceAsSaved(window.place.left.value_or(x()), window.place.top.value_or(y()));
    if (window.maximized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    else
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));

    options_->CheckBox5->setChecked(saved.smallBoxNoBorder);
    options_->CheckBox6->setChecked(saved.device.autoselect);
    options_->CheckBox3->setChecked(saved.verifyUserId);
    // Before the start-up probe, so the trace holds it too.
    if (!saved.traceFile.empty()) StartWireTrace(saved.traceFile);
}

void TForm1::PlaceAsSaved(int left, int top)
{
    // A position from another screen layout would put the window where
    // nobody can see it; then it stays where it was designed. Either way the
    // whole frame, command row and status line included, goes onto the
    // screen.
    const bool onScreen =
        QGuiApplication::screenAt(QPoint(left + 40, top + 10)) || QGuiApplication::screens().isEmpty();
    fitAt_ = onScreen ? QPoint(left, top) : pos();
    PlaceFrameAt(fitAt_);
    fitFramePending_ = true;
    fitTries_ = 40;
    QTimer::singleShot(50, this, &TForm1::FitOnceFramed);
    FitFrameOntoScreen();
}

void TForm1::StartWireTrace(const std::string &path)
{
    const AppSettings saved = ReadAppSettings(*Settings);
    std::string error;
    auto trace = WireTrace::Create(
        path, TraceHeader("tarnvik", saved.device.name, StartingPortChoice(saved), "window"),
        {Settings->Path(), CalibrationLogPath()}, error);
    if (!trace) {
        AddLog(texts::TraceUnwritable(error));
        PageControl1->setTabToolTip(OptionTab, QString::fromStdString(texts::TraceUnwritable(error)));
        return;
    }
    session.Port.SetTrace(std::move(trace));
    PageControl1->setTabToolTip(OptionTab, QString::fromStdString(texts::TraceRecording(path)));
}

bool TForm1::WriteExitSettings()
{
    // The strip stands where the window was: the file keeps the window's
    // place and size, which the strip returns to.
    const bool strip = SmallBox.Active;
    const QPoint at = strip ? SmallBox.SavedPosition : pos();
    const QSize client = strip ? SmallBox.SavedSize : size();
    const QSize largest = strip ? SmallBox.SavedMaximum : maximumSize();
    const QSize smallest = strip ? SmallBox.SavedMinimum : minimumSize();
    // A window manager may stretch a maximised window past its limits; the
    // file keeps a size the window can take.
    const QSize outer = (client + QSize(FrameWidth, FrameHeight))
                            .boundedTo(largest + QSize(FrameWidth, FrameHeight))
                            .expandedTo(smallest + QSize(FrameWidth, FrameHeight));
    AppSettings out;
    out.window.place = {at.y(), at.x()};
    out.window.width = outer.width();
    out.window.height = outer.height();
    out.device.pic18 = Pic18;
    out.device.name = DeviceName({Pic18, Selected()});
    out.device.autoselect = options_->CheckBox6->isChecked();
    out.port = {options_->CheckBox4->isChecked(), session.Port.PortName()};
    out.line.enabled = options_->CheckBox7->isChecked();
    out.line.rtsOn = options_->RadioGroup2->ItemIndex() == 1;
    out.line.dtrOn = options_->RadioGroup3->ItemIndex() == 1;
    out.line.waitText = options_->Edit6->text().toStdString();
    out.smallBlock = SmallBlockFlag;
    out.smallBoxNoBorder = options_->CheckBox5->isChecked();
    out.verifyUserId = options_->CheckBox3->isChecked();
    // Where the window system invents the place, the file keeps the last
    // real one. The keys go into the parsed settings; the file is then
    // written once, whole.
    return WriteAppSettings(*Settings, out, WindowPlacesKnown()) && Settings->Save();
}

bool TForm1::FormClose()
{
    while (!WriteExitSettings()) {
        const int answer = MessageBox::Show(
            this, QMessageBox::Warning, QString::fromStdString(texts::WarningTitle()), WriteFailureText,
            {QString::fromStdString(texts::YesButton()), QString::fromStdString(texts::NoButton()),
             QString::fromStdString(texts::RetryButton())},
            1);
        if (answer == 0) break;        // end without writing more
        if (answer != 2) return false; // No, or the box was closed: keep running
    }
    session.Port.ClosePort();
    ProcessMessages();
    return true;
}

void TForm1::ListenForEndingSignals()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return; // the signals keep ending the window at once
    auto *notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd = fds[0]] {
        unsigned char sig = 0;
        if (::read(fd, &sig, 1) != 1) return;
        SaveBeforeSignalEnd();
        session.Port.ClosePort();
        EndBySignal(sig);
    });
    SignalsToPipeAfterHolds(fds[1]);
    endingSignalPipe_ = fds[1];
}

bool TForm1::SaveBeforeSignalEnd()
{
    // Before the first show the settings have not been read: writing the
    // controls' defaults would replace the user's.
    if (FirstShowPending) return false;
    // The keys a close writes, the strip's place as leaving it writes it,
    // once: at log-out nobody is left to answer the box of a refused write.
    if (SmallBox.Active) WriteStripPlace();
    if (WriteExitSettings()) return true;
    std::fputs(texts::SettingsUnwritableLine(Settings->Path()).c_str(), stderr);
    return false;
}

// A command runs inside its click handler and lets the window process events
// while data flows; a close arriving then must not release the port and the
// buffer under it. The END button belongs to the command lock and nothing
// else disables it, so a disabled END means a command (or the start-up probe)
// holds the lock. A modal box or file dialog open means a command waits for
// the user.
bool TForm1::CloseMustWait() const
{
    return startupProbe_ || !device_->Button8->isEnabled() || QApplication::activeModalWidget() != nullptr;
}

void TForm1::DeferClose()
{
    if (ClosePending) return;
    ClosePending = true;
    SetStatus(presenter_->Edit3->text().toStdString());
    RetryPendingClose();
}

void TForm1::RetryPendingClose()
{
    // Checked again after a short while: a timer fires only when events are
    // processed, which is either inside the command (still busy) or back in
    // the main loop once it has ended.
    QTimer::singleShot(20, this, [this] {
        if (!ClosePending) return;
        if (CloseMustWait()) {
            RetryPendingClose();
            return;
        }
        ClosePending = false;
        // Kept open after all (the settings could not be written): the
        // note goes.
        if (!close()) SetStatus(presenter_->StatusText());
    });
}
