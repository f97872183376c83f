// Small Box mode: the main window shrunk to an always-on-top strip with a
// single "&Programmer" button whose menu runs the loads, the save and the
// device commands, reporting in the progress dialog. A close request
// returns to the normal window.
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "AppSettings.h"
#include "CommandScope.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "Unit3.h"
#include "WindowPlaces.h"
#include "texts/load_texts.h"

// Counts the strip's mouse moves for the drag and resets the count where the
// user lets go or leaves the button.
class SmallBoxMouse : public QObject {
public:
    SmallBoxMouse(TForm1 &form, QToolButton *button) : QObject(&form), form_(form), button_(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Only mouse events look at the window: the others also arrive while
        // it is being destroyed.
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease && type != QEvent::Enter)
            return false;
        if (!form_.SmallBox.Active) return false;
        // The window system moves the strip with the pointer grabbed; the
        // first pointer event that reaches the strip afterwards (the pointer
        // coming back, a move without the button held, the release, any
        // move once the strip has moved) means it has let go.
        if (form_.SmallBox.Dragging) {
            const bool held = type == QEvent::MouseMove &&
                              (static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton);
            if (!held || form_.SmallBox.MovedWhileDragging) form_.EndStripDrag();
            if (type == QEvent::MouseButtonRelease && watched == button_) form_.SpeedButton1MouseUp();
            return type != QEvent::Enter; // the move that ends the drag clicks nothing
        }
        if (type == QEvent::Enter) return false;
        if (watched == button_) {
            // A disabled button hands its moves on to the window. The move
            // that starts the drag goes no further: it must not reach the
            // window, whose moves enable the button again.
            if (type == QEvent::MouseMove && button_->isEnabled()) {
                form_.SpeedButton1MouseMove(static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton);
                return !button_->isEnabled();
            }
            if (type == QEvent::MouseButtonRelease) form_.SpeedButton1MouseUp();
        } else if (watched == &form_ && type == QEvent::MouseMove &&
                   !(static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton)) {
            // With the button held the move belongs to a press on the strip's
            // button: the button lets the moves that go past its edge on to
            // the window, and a fast drag goes past it before it is a drag.
            form_.FormMouseMove();
        }
        return false;
    }

private:
    TForm1 &form_;
    QToolButton *button_; // the strip's Programmer button
};

QList<QWidget *> TForm1::SmallBoxHidden() const
{
    return {device_->ComboBox1,       device_->StaticText1, device_->StaticText2, commands_->Button1,
            commands_->Button2,       commands_->Button3,   commands_->Button4,   commands_->Button5,
            commands_->Button6,       commands_->Button7,   device_->Button8,     commands_->Button13,
            commands_->Button14,      commands_->Button15,  commands_->Button16,  device_->Button19,
            presenter_->ProgressBar1, device_->GroupBox1,   device_->GroupBox2};
}

void TForm1::Button17Click()
{
    EnterSmallBox();
}

void TForm1::EnterSmallBox()
{
    if (SmallBox.Active) return;
    if (!smallBoxMouse_) {
        smallBoxMouse_ = new SmallBoxMouse(*this, strip_->SpeedButton1);
        strip_->SpeedButton1->installEventFilter(smallBoxMouse_);
        installEventFilter(smallBoxMouse_);
        connect(strip_->PopupMenu4, &QMenu::aboutToHide, this,
                [this] { strip_->SpeedButton1->setEnabled(true); });
        // The caption must fit the 66-pixel button whatever font stands in
        // for the designed one; a wider font is made smaller until it does.
        QFont font = strip_->SpeedButton1->font();
        while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(QStringLiteral("Programmer")) >
                                           strip_->SpeedButton1->width() - 6)
            font.setPixelSize(font.pixelSize() - 1);
        strip_->SpeedButton1->setFont(font);
    }
    SmallBox.SavedPosition = pos();
    SmallBox.SavedSize = size();
    SmallBox.SavedMinimum = minimumSize();
    SmallBox.SavedMaximum = maximumSize();
    SmallBox.SavedFlags = windowFlags();
    options_->Button17->setEnabled(false);

    // Where the client draws its own frame (Wayland) a framed strip would be
    // all title bar buttons: the strip goes without, whatever the option.
    const bool placesKnown = WindowPlacesKnown();
    const bool noBorder = options_->CheckBox5->isChecked() || !placesKnown;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowStaysOnTopHint;
    if (noBorder)
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

    for (QWidget *w : SmallBoxHidden())
        w->hide();
    strip_->SpeedButton1->show();
    strip_->SpeedButton1->raise();
    strip_->SpeedButton1->setEnabled(true);
    strip_->SpeedButton1->setMouseTracking(true);
    setMouseTracking(true);
    PageControl1->setEnabled(false);

    // The strip's outer width includes its frame. The window manager gives
    // the strip the frame it gave the window; once the strip's own frame is
    // known it is fitted again (FitStripToFrame).
    const int frameWidth = FrameSize().width();
    const QSize strip(noBorder ? SmallBoxWidth : SmallBoxWidth - frameWidth, SmallBoxClientHeight);
    setMinimumSize(0, 0);
    if (noBorder)
        resize(strip);
    else
        setFixedSize(strip); // a frame must not offer resizing
    // A new native window with the strip's frame from the start (see
    // LeaveSmallBox).
    hide();
    destroy();
    setWindowFlags(flags);
    SmallBox.Active = true;
    SmallBox.Framed = !noBorder;
    SmallBox.DragCount = 0;

    if (placesKnown) {
        const AppSettings::Window saved = ReadAppSettings(*Settings).window;
        const SavedPlace &place = noBorder ? saved.stripNoBorder : saved.strip;
        const int top = place.top.value_or(SmallBox.SavedPosition.y());
        const int left = place.left.value_or(SmallBox.SavedPosition.x());
        const QSize outer = noBorder ? size() : size() + FrameSize();
        fitAt_ = FitOntoScreen(QRect(QPoint(left, top), outer)).topLeft();
        PlaceFrameAt(fitAt_);
        fitFramePending_ = true;
        fitTries_ = 40;
        QTimer::singleShot(50, this, &TForm1::FitOnceFramed);
    }
    show();
    // Showing sets the normal caption; the strip has its own.
    setWindowTitle(QStringLiteral("Vexa"));
}

void TForm1::LeaveSmallBox()
{
    SmallBox.Active = false;
    SmallBox.DragCount = 0;
    SmallBox.Dragging = false;
    fitFramePending_ = false;
    WriteStripPlace();

    setMinimumSize(SmallBox.SavedMinimum);
    setMaximumSize(SmallBox.SavedMaximum);
    options_->Button17->setEnabled(true);
    // A new native window, framed from the start: a window manager that
    // re-decorates the strip in place may grow its title bar upwards and
    // leave the window higher than it was.
    hide();
    destroy();
    setWindowFlags(SmallBox.SavedFlags);
    resize(SmallBox.SavedSize);
    if (WindowPlacesKnown()) PlaceFrameAt(SmallBox.SavedPosition);
    for (QWidget *w : SmallBoxHidden())
        w->show();
    strip_->SpeedButton1->hide();
    strip_->SpeedButton1->setMouseTracking(false);
    setMouseTracking(false);
    PageControl1->setEnabled(true);
    show();
    setWindowTitle(VersionCaption);
    PageControl1->setCurrentIndex(ProgramTab);
    // The strip's button is gone; the focus goes where a click on the
    // window would put it.
    if (!focusWidget() || focusWidget() == strip_->SpeedButton1 || focusWidget() == presenter_->Edit3)
        FocusAfterDeviceList();
}

void TForm1::WriteStripPlace()
{
    // Where the strip was is remembered for its kind of frame; a refused
    // write skips the other, silently.
    if (WindowPlacesKnown()) ::WriteStripPlace(*Settings, options_->CheckBox5->isChecked(), y(), x());
}

void TForm1::FitStripToFrame()
{
    if (!SmallBox.Active || !SmallBox.Framed) return;
    const int frameWidth = frameGeometry().width() - width();
    if (frameWidth <= 0) return; // not framed yet
    const int client = SmallBoxWidth - frameWidth;
    if (client > 0 && client != width()) setFixedWidth(client);
}

void TForm1::ShowProgressDialog()
{
    if (!Form3) return;
    // Kept clear of the strip where places are known; elsewhere the
    // window system places the dialog.
    if (SmallBox.Active && WindowPlacesKnown()) {
        QRect strip = frameGeometry();
        if (SmallBox.Framed && strip.size() == size()) strip.setSize(size() + FrameSize());
        const QScreen *on = screen();
        Form3->KeepClearOf(strip, on ? on->availableGeometry() : QRect());
    }
    Form3->ShowDialog();
}

void TForm1::ShowSmallBoxRefusal(const std::string &text)
{
    if (!SmallBox.Active || !Form3) return;
    ShowProgressDialog();
    SetDialogStatus(text);
}

void TForm1::FormCloseQuery(bool &canClose)
{
    canClose = true;
    if (SmallBox.Active) {
        LeaveSmallBox();
        canClose = false;
    }
}

void TForm1::ReturntoSettings1Click()
{
    close();
}

// ---- the strip's button: menu and drag ----

void TForm1::SpeedButton1Click()
{
    // A finished command's result stays up until OK; only then does the
    // menu open again.
    if (Form3 && Form3->isVisible()) return;
    strip_->SpeedButton1->setEnabled(false);
    strip_->PopupMenu4->popup(strip_->SpeedButton1->mapToGlobal(QPoint(0, strip_->SpeedButton1->height())));
}

void TForm1::SpeedButton1MouseMove(bool leftHeld)
{
    if (!leftHeld) {
        SmallBox.DragCount = 0;
        return;
    }
    // A click wobbles by a move or two; more than four is a drag. The
    // frameless strip has no caption to grab, so the window system moves it.
    if (++SmallBox.DragCount == 5) {
        strip_->SpeedButton1->setEnabled(false);
        SmallBox.Dragging = true;
        SmallBox.MovedWhileDragging = false;
        if (QWindow *window = windowHandle()) window->startSystemMove();
    }
}

void TForm1::EndStripDrag()
{
    SmallBox.Dragging = false;
    SmallBox.MovedWhileDragging = false;
    SmallBox.DragCount = 0;
    strip_->SpeedButton1->setEnabled(true);
}

void TForm1::SpeedButton1MouseUp()
{
    SmallBox.DragCount = 0;
}

void TForm1::FormMouseMove()
{
    SmallBox.DragCount = 0;
    strip_->SpeedButton1->setEnabled(true);
}

// ---- device commands of the Small Box menu ----

bool TForm1::SmallBoxCommand(OperationContext &ctx, Chain chain, const std::string &file)
{
    if (RefuseChangedBuffer(chain, true)) return false;
    if (!DeviceCheck(ctx, true)) return false;
    const ChainResult result = RunDeviceChain(ctx, chain, true, file);
    // An erase that did not happen ends the chain with its own failure text,
    // which the strip's user only sees in the progress dialog: the text the
    // chain reported, not what the status line shows (a close that waits
    // adds its note there).
    if (!result.Ok() && result.ended == Step::Erase) SetDialogStatus(StatusText());
    return true;
}

void TForm1::Read1Click()
{
    CommandScope lock(*this);
    ShowProgressDialog();
    OperationContext ctx = Context();
    if (!SmallBoxCommand(ctx, Chain::Read)) return;
    activateWindow();
    if (Form3) Form3->raise();
}

void TForm1::Program3Click()
{
    CommandScope lock(*this);
    ShowProgressDialog();
    OperationContext ctx = Context();
    SmallBoxCommand(ctx, Chain::Program);
}

void TForm1::BlankCheck1Click()
{
    CommandScope lock(*this);
    ShowProgressDialog();
    OperationContext ctx = Context();
    SmallBoxCommand(ctx, Chain::BlankCheck);
}

void TForm1::Verify1Click()
{
    CommandScope lock(*this);
    ShowProgressDialog();
    OperationContext ctx = Context();
    SmallBoxCommand(ctx, Chain::Verify);
}

void TForm1::Erase1Click()
{
    CommandScope lock(*this);
    ShowProgressDialog();
    OperationContext ctx = Context();
    SmallBoxCommand(ctx, Chain::EraseBlankCheck);
}

void TForm1::LoadEraseprogramVerify1Click()
{
    CommandScope lock(*this);
    if (CurrentFile.empty() && !ChooseCurrentFile()) return;
    ShowProgressDialog();
    if (!ClearBeforeLoad(ClearNote::DialogStatusAndLog)) return;
    try {
        LoadCurrent();
    } catch (const HexFileError &error) {
        LoadFailed(error, {}); // the buffer was cleared before
        return;
    }
    // A damaged file, or one without HEX data, never reaches the chip.
    const bool whole = ReportLoadFindings(true, true);
    if (LastRead.LoadedAny()) AddLog(texts::FileLoaded(CurrentFileName()));
    if (!whole) return;
    OperationContext ctx = Context();
    SmallBoxCommand(ctx, Chain::EraseBlankCheckProgramVerify, CurrentFileName());
}
