// Main window construction, layout and the window events.
#include "Unit1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "Accessibility.h"
#include "Colours.h"
#include "StepColumns.h"
#include "Unit1Parts.h"
#include "Unit3.h"
#include "image/dump.h"
#include "image/hex_load.h"
#include "link/SerialDevices.h"
#include "texts/window_texts.h"

WindowLink::WindowLink(std::unique_ptr<SerialBackend> backend, PortPathResolver resolver)
    : Port(std::move(backend), std::move(resolver))
{
}

TForm1::TForm1(std::unique_ptr<SerialBackend> backend, const std::string &settingsPath, QWidget *parent)
    // Only the buttons named here, no maximise box: window managers add the
    // rest unless the hints are taken as given.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session(backend ? std::move(backend) : MakePosixSerialBackend(),
              [this](const std::string &name) {
                  return Settings ? ComPortDevice(*Settings, name) : std::string();
              }),
      Settings(std::make_unique<SettingsFile>(settingsPath.empty() ? DefaultSettingsPath() : settingsPath))
{
    setObjectName("Form1");
    // A window to screen readers, not a filler.
    MarkAccessibleRole(this, QAccessible::Window);
    setWindowTitle(VersionCaption);
    setFont(UiFont());
    CreateControls();
    // The designed client area; the outer constraints 480..490 x 337..800
    // less the frame the window was designed with (8 x 34).
    setMinimumSize(472, 303);
    setMaximumSize(482, 766);
    resize(DesignedClientWidth, DesignedClientHeight);
    move(DesignedLeft, DesignedTop);
    FormCreate();
    auto *production = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this);
    connect(production, &QShortcut::activated, this, &TForm1::OpenProductionWindow);
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A command still running would lose its port and buffer; the close
    // follows once it has ended.
    if (CloseMustWait()) {
        event->ignore();
        DeferClose();
        return;
    }
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose || !FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // A desktop that changes its palette (a dark theme) gets the coloured
    // texts made readable on it.
    if (event->type() == QEvent::PaletteChange) RefreshColours();
}

void TForm1::CreateControls()
{
    device_ = std::make_unique<DevicePanel>(*this, *this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    // Five captions must fit the designed width without scroll arrows.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->tabBar()->setStyleSheet("QTabBar::tab { padding: 3px 5px; }");
    dumps_ = std::make_unique<DumpTabs>(PageControl1);
    config_ = std::make_unique<ConfigPanel>(*this, *this, PageControl1);
    // The value fields' hints name the bits the typed values set.
    for (QLineEdit *field : config_->Config18Values())
        connect(field, &QLineEdit::textChanged, this, &TForm1::RefreshConfigHints);
    options_ = std::make_unique<OptionPanel>(*this, *this, PageControl1);
    log_ = std::make_unique<MessageLog>(*this, *this, PageControl1);
    commands_ = std::make_unique<CommandRow>(*this, *this);
    presenter_ = std::make_unique<Presenter>(*this, *log_, Form3);
    Edit3 = presenter_->Edit3;
    CreateMenus();
    strip_->CreateButton();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    PageControl1->setCurrentIndex(OptionTab);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);

    for (QWidget *w : findChildren<QWidget *>())
        w->setToolTipDuration(10000);
    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->installEventFilter(this);
    setToolTipDuration(10000);
    for (QWidget *w :
         {static_cast<QWidget *>(device_->GroupBox1), static_cast<QWidget *>(device_->GroupBox2),
          static_cast<QWidget *>(device_->StaticText1), static_cast<QWidget *>(device_->StaticText2),
          static_cast<QWidget *>(presenter_->Edit3)})
        w->installEventFilter(this);
    HoldFonts(this);
    HoldFocusRing(this);
    LayoutAnchored();
}

void TForm1::CreateMenus()
{
    commands_->CreateMenus();
    strip_ = std::make_unique<SmallBoxStrip>(*this, *this);
    device_->CreateMenu();
    for (QMenu *m :
         {commands_->PopupMenu1, commands_->PopupMenu2, commands_->PopupMenu3, device_->PopupMenu5})
        m->setFont(UiFont());
    commands_->PopupMenu1->setStyle(
        new StepColumnStyle(commands_->PopupMenu1->actions().back()->text(), this));
}

// The command row, the status line and the progress bar keep their distance
// from the bottom edge; the tab area takes whatever height is left.
void TForm1::LayoutAnchored()
{
    const int w = width(), h = height();
    const int rowTop = h - 73;
    PageControl1->setGeometry(4, 45, w - 8, rowTop - 47);
    commands_->Layout(rowTop);
    presenter_->Layout(w, h);

    // Page contents follow the page size.
    // All pages share the size of the shown one.
    const QSize page = PageControl1->currentWidget()->size();
    dumps_->Layout(page);
    log_->Layout(page);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    LayoutAnchored();
    FitStripToFrame();
    if (fitFramePending_ && frameGeometry().size() != size()) FitFrameOntoScreen();
}

void TForm1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (SmallBox.Dragging) SmallBox.MovedWhileDragging = true;
    // The window manager's frame arrives with the first move after mapping.
    FitStripToFrame();
    if (fitFramePending_ && frameGeometry().size() != size()) FitFrameOntoScreen();
}

void TForm1::FitOnceFramed()
{
    // The window manager's frame may arrive without a move or resize of its
    // own; the fit looks for it a while.
    if (!fitFramePending_) return;
    if (isVisible() && frameGeometry().size() != size())
        FitFrameOntoScreen();
    else if (fitTries_-- > 0)
        QTimer::singleShot(50, this, &TForm1::FitOnceFramed);
}

QRect TForm1::FitOntoScreen(const QRect &outer) const
{
    // The screen that shows most of the frame; none shows any of it: the
    // one the window is on.
    const QScreen *best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry().intersected(outer);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    if (!best) best = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!best) return outer;
    const QRect room = best->availableGeometry();
    QRect fitted(outer.topLeft(), outer.size().boundedTo(room.size()));
    fitted.moveLeft(std::clamp(fitted.left(), room.left(), room.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), room.top(), room.bottom() + 1 - fitted.height()));
    return fitted;
}

void TForm1::FitFrameOntoScreen()
{
    // Measured from where the window was placed: until the window manager
    // has settled the frame, the reported corner may be anywhere.
    const bool framed = frameGeometry().size() != size();
    if (framed) fitFramePending_ = false; // the real frame is known now
    if (isMaximized() || isFullScreen()) return;
    const QSize frame = framed ? frameGeometry().size() - size()
                        : SmallBox.Active && !SmallBox.Framed ? QSize(0, 0)
                                                               : FrameSize();
    const QRect outer(fitAt_, size() + frame);
    const QRect fitted = FitOntoScreen(outer);
    if (fitted.size() != outer.size()) resize(fitted.size() - frame);
    if (fitted.topLeft() != outer.topLeft()) {
        fitAt_ = fitted.topLeft();
        PlaceFrameAt(fitAt_);
    }
}

void TForm1::PlaceFrameAt(QPoint at)
{
    move(at);
    // Until the window manager has framed a new window Qt would put the
    // client area's corner there; the window system is told it is the
    // frame's, so the window appears where it was left.
    if (QWindow *w = windowHandle()) w->setFramePosition(at);
}

QSize TForm1::FrameSize() const
{
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() > 0 || frame.height() > 0) return frame;
    return {DesignedFrameWidth, DesignedFrameHeight};
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
    LayoutAnchored();
}

void TForm1::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    FormClick();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == device_->ComboBox1)
        return device_->ListEvent(event) || QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == device_->GroupBox1 || watched == device_->GroupBox2 || watched == device_->StaticText1 ||
         watched == device_->StaticText2 || watched == presenter_->Edit3)) {
        // Let the click land first, then move the focus on.
        QTimer::singleShot(0, this, &TForm1::FormClick);
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (auto *button = qobject_cast<QPushButton *>(watched);
            button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            if (button->isEnabled()) button->click();
            return true;
        }
        for (QLineEdit *field : config_->ValueFields()) {
            if (watched != field) continue;
            if (MaskEdit3KeyDown(key) || MaskEdit3KeyPress(key)) return true;
            // Typing over a selection would blank the rest of it; overwrite
            // from its start instead.
            if (!key->text().isEmpty() && field->hasSelectedText())
                field->setCursorPosition(field->selectionStart());
            return false;
        }
        if (watched == options_->Edit6) return Edit6KeyDown(key) || Edit6KeyPress(key);
    }
    return QWidget::eventFilter(watched, event);
}
