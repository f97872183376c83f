// The window on a desktop as users have it (openbox on a virtual display),
// once each with Qt's own light palette, with a platform theme's dark colour
// scheme and larger font, and with a platform theme's light scheme and larger
// font (TARNVIK_DESKTOP = light, dark or large): readable colours, captions
// that fit, the focus around commands, the Small Box strip and the progress
// dialog, failed reloads, and saved positions fitted onto the screen.
// Pictures go to TARNVIK_SHOT_DIR when it is set, else to the test's folder.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>

#include "Colours.h"
#include "commandrig.h"

namespace {

QString Desktop()
{
    const QString d = qEnvironmentVariable("TARNVIK_DESKTOP");
    return d.isEmpty() ? QStringLiteral("light") : d;
}

// A frame the user sees whole.
bool OnScreen(const QWidget &w)
{
    return w.screen()->availableGeometry().contains(w.frameGeometry());
}

bool Framed(const QWidget &w)
{
    return w.frameGeometry().size() != w.size();
}

// A window with the programmer on COM3, the rest of the ports absent, shown
// framed and active.
struct DesktopRig : CommandRig {
    TForm1 &Open(const QString &device = QStringLiteral("PIC16F877A"))
    {
        TForm1 &f = StartWith(device);
        if (!QTest::qWaitForWindowExposed(&f) || !QTest::qWaitFor([&] { return Framed(f); }, 5000))
            qWarning("the window manager did not frame the window");
        f.activateWindow();
        if (!QTest::qWaitForWindowActive(&f)) qWarning("the window did not become active");
        return f;
    }

    void Shot(const QWidget &w, const QString &what) const
    {
        const QString folder = qEnvironmentVariable("TARNVIK_SHOT_DIR", dir.path());
        QDir().mkpath(folder);
        QTest::qWait(100); // the window has drawn what the test just changed
        const QRect r = w.frameGeometry().adjusted(-2, -2, 2, 2);
        w.screen()
            ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
            .save(folder + "/desktop-" + Desktop() + "-" + what + ".png");
    }
};

void SendMove(QWidget *w, Qt::MouseButtons buttons)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

// What a caption needs to show whole inside its control.
int CaptionRoom(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)) return b->sizeHint().width();
        QString text = b->text();
        text.remove('&');
        return b->fontMetrics().horizontalAdvance(text) + 4;
    }
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->wordWrap() ? 0 : l->fontMetrics().horizontalAdvance(l->text()) + 2 * l->frameWidth();
    if (auto *g = qobject_cast<QGroupBox *>(w)) return g->fontMetrics().horizontalAdvance(g->title()) + 8;
    return 0;
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void colouredTextsReadable();
    void captionsFitTheirControls();
    void focusStaysWithTheCommand();
    void focusBackAfterMenuAndBox();
    void stripButtonWorksAfterDrag();
    void stripAndDialogApart();
    void failedReloadReported();
    void savedPlacesFittedOntoScreen_data();
    void savedPlacesFittedOntoScreen();
};

void DesktopTest::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display (the CTest entry starts one)");
    // The theme in force is the one asked for.
    const QColor window = QApplication::palette().color(QPalette::Window);
    QCOMPARE(window.lightness() < 128, Desktop() == "dark");
}

// Every text the window colours reaches the contrast ratio on its
// background; unusable ports and disabled fields look disabled.
void DesktopTest::colouredTextsReadable()
{
    DesktopRig rig;
    TForm1 &f = rig.Open("PIC10F200"); // no DEVICE-ID: "No ID!" is red
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    Ui(f).SetPortLook(1, WindowDriver::PortLook::Probing);
    Ui(f).SetCurrentFile("/nowhere/blink.hex");
    Ui(f).CheckBox(1)->setChecked(true);
    Ui(f).CheckBox(2)->setEnabled(true);
    Ui(f).CheckBox(2)->setChecked(true);
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ConfigTab);
    const QColor window = f.palette().color(QPalette::Window);
    auto text = [](QWidget *w) { return w->palette().color(QPalette::Active, w->foregroundRole()); };
    const struct {
        const char *what;
        QWidget *widget;
    } coloured[] = {{"probing port", Ui(f).RadioButtons()[0]}, {"programmer port", Ui(f).RadioButtons()[2]},
                    {"No ID!", Ui(f).StaticText(1)},           {"current file", Ui(f).StaticText(2)},
                    {"config warning", Ui(f).Label(9)},        {"calibration warning", Ui(f).Label(10)}};
    QCOMPARE(Ui(f).PortLookOf(3), WindowDriver::PortLook::Programmer);
    for (const auto &c : coloured) {
        const double ratio = ContrastRatio(text(c.widget), window);
        QVERIFY2(ratio >= MinimumContrast, qPrintable(QString("%1: %2").arg(c.what).arg(ratio)));
        QVERIFY2(text(c.widget) != f.palette().color(QPalette::WindowText), c.what); // still coloured
    }
    // Config1 writable, then read-only (and looking so), and a disabled field.
    QColor writableBase;
    for (bool writable : {true, false}) {
        Ui(f).CheckBox(1)->setChecked(writable);
        const QPalette p = Ui(f).MaskEdit(3)->palette();
        if (writable) writableBase = p.color(QPalette::Active, QPalette::Base);
        if (!writable)
            QVERIFY(std::abs(p.color(QPalette::Active, QPalette::Base).lightness() - writableBase.lightness()) >= 10);
        QCOMPARE(Ui(f).MaskEdit(3)->isReadOnly(), !writable);
        const double ratio = ContrastRatio(p.color(QPalette::Active, QPalette::Text),
                                           p.color(QPalette::Active, QPalette::Base));
        QVERIFY2(ratio >= MinimumContrast, qPrintable(QString::number(ratio)));
        if (!writable) rig.Shot(f, "config-read-only");
    }
    Ui(f).CheckBox(1)->setChecked(true);
    rig.Shot(f, "config-writable");
    QVERIFY(!Ui(f).MaskEdit(5)->isEnabled()); // Config3 belongs to the PIC18 family
    auto look = [](QWidget *w, QPalette::ColorGroup g) {
        return std::pair{w->palette().color(g, QPalette::Base), w->palette().color(g, QPalette::Text)};
    };
    QVERIFY(look(Ui(f).MaskEdit(5), QPalette::Disabled) != look(Ui(f).MaskEdit(3), QPalette::Active));
    // An absent port is greyed as the frame's hint promises.
    QRadioButton *absent = Ui(f).RadioButtons()[4];
    QVERIFY(!absent->isEnabled());
    const QColor grey = absent->palette().color(QPalette::Disabled, QPalette::WindowText);
    const double greyRatio = ContrastRatio(grey, window);
    QVERIFY2(greyRatio >= 2.0, qPrintable(QString::number(greyRatio)));
    QVERIFY(greyRatio < ContrastRatio(f.palette().color(QPalette::WindowText), window));
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
    QTest::qWait(50);
    rig.Shot(f, "option-ports");
}

// The program's fonts hold under the platform theme: no caption is wider
// than its control, on any tab.
void DesktopTest::captionsFitTheirControls()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    for (QRadioButton *port : Ui(f).RadioButtons())
        QCOMPARE(port->font().pixelSize(), UiFont().pixelSize());
    for (int tab = 0; tab < Ui(f).PageControl1()->count(); ++tab) {
        Ui(f).PageControl1()->setCurrentIndex(tab);
        QTest::qWait(20);
        for (QWidget *w : f.findChildren<QWidget *>()) {
            if (!w->isVisible() || w == Ui(f).SpeedButton1()) continue;
            const int room = CaptionRoom(w);
            QVERIFY2(room <= w->width(),
                     qPrintable(QString("%1 (%2): needs %3, has %4")
                                    .arg(w->objectName(), w->metaObject()->className())
                                    .arg(room)
                                    .arg(w->width())));
        }
    }
    Ui(f).PageControl1()->setCurrentIndex(TForm1::OptionTab);
}

// A command started from a button gives the focus back to it, so Space or
// Enter repeats it; while it runs no control that clears anything has it. A
// dump view shows that it has the focus.
void DesktopTest::focusStaysWithTheCommand()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    Ui(f).SetCurrentFile(rig.dir.filePath("kept.hex").toStdString());
    const struct {
        QPushButton *button;
        Qt::Key key;
        const char *status; // what the command leaves in the status line
    } commands[] = {{Ui(f).Button(3), Qt::Key_Space, "読み込みました"},
                    {Ui(f).Button(7), Qt::Key_Return, ""},
                    {Ui(f).Button(13), Qt::Key_Enter, "バッファをクリアしました。"}};
    for (const auto &c : commands) {
        for (int run = 0; run < 2; ++run) {
            c.button->setFocus();
            QVERIFY(c.button->hasFocus());
            Ui(f).Edit(3)->clear();
            QWidget *during = c.button;
            // The look-up dies with this round, so a late one never writes
            // into a round that has ended.
            QObject round;
            QTimer::singleShot(0, &round, [&] { during = QApplication::focusWidget(); });
            QTest::keyClick(c.button, c.key);
            QTRY_VERIFY(!Ui(f).Edit(3)->text().isEmpty());
            QTRY_VERIFY(rig.Released());
            QVERIFY2(Ui(f).Edit(3)->text().contains(QString::fromUtf8(c.status)),
                     qPrintable(Ui(f).Edit(3)->text()));
            QCOMPARE(QApplication::focusWidget(), c.button);
            QVERIFY(during != Ui(f).Button(19) &&
                    (during != Ui(f).Button(13) || c.button == Ui(f).Button(13)));
            QCOMPARE(Ui(f).StaticText(2)->text(), QString("kept.hex"));
        }
    }
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    Ui(f).Button(3)->setFocus();
    QTest::qWait(50);
    const QImage unfocused = Ui(f).Memo(1)->grab().toImage();
    Ui(f).Memo(1)->setFocus();
    QTRY_VERIFY(Ui(f).Memo(1)->hasFocus());
    QTest::qWait(50);
    QVERIFY(Ui(f).Memo(1)->grab().toImage() != unfocused);
    rig.Shot(f, "dump-focused");
}

// Enter, Esc, Enter on a "v" opens its menu twice and never runs the button
// beside it (PROG.'s "v" then ERASE would erase the chip); a box under a
// command hands the focus back to the button it was started from.
void DesktopTest::focusBackAfterMenuAndBox()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    const struct {
        QPushButton *button, *v;
        QMenu *menu;
    } menus[] = {{Ui(f).Button(1), Ui(f).Button(16), Ui(f).PopupMenu(3)},
                 {Ui(f).Button(4), Ui(f).Button(14), Ui(f).PopupMenu(1)},
                 {Ui(f).Button(5), Ui(f).Button(15), Ui(f).PopupMenu(2)}};
    for (const auto &m : menus) {
        m.button->setFocus();
        QTest::keyClick(m.button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m.v);
        for (int round = 0; round < 2; ++round) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTRY_VERIFY2(m.menu->isVisible(), qPrintable(m.v->objectName()));
            QTest::keyClick(m.menu, Qt::Key_Escape);
            QTRY_VERIFY(!m.menu->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), m.v);
        }
    }
    QVERIFY(rig.Log().filter("消去しました").isEmpty());
    rig.Shot(f, "menu-v-keeps-focus");

    // A real box, answered with Enter (No): the program step asks about the
    // configuration the file did not give.
    Ui(f).MarkFileWithoutConfiguration();
    Ui(f).Button(4)->setFocus();
    QTimer closer;
    connect(&closer, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Return);
    });
    closer.start(100);
    QTest::keyClick(Ui(f).Button(4), Qt::Key_Space);
    closer.stop();
    QTRY_VERIFY(rig.Released());
    QCOMPARE(Ui(f).Edit(3)->text(), QString(" !! 書込みを中止しました。"));
    QTRY_COMPARE(QApplication::focusWidget(), Ui(f).Button(4));
}

// After a drag the frameless strip's button opens the menu again as soon as
// the pointer is back over it, not only after it has crossed the margin.
void DesktopTest::stripButtonWorksAfterDrag()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    Ui(f).CheckBox(5)->setChecked(true);
    Ui(f).Press(17);
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    for (QEvent::Type back : {QEvent::MouseMove, QEvent::Enter}) {
        const QPointF at(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, Ui(f).SpeedButton1()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Ui(f).SpeedButton1(), &press);
        for (int i = 0; i < 5; ++i)
            SendMove(Ui(f).SpeedButton1(), Qt::LeftButton);
        QVERIFY(!Ui(f).SpeedButton1()->isEnabled());
        QTest::qWait(100);
        if (back == QEvent::Enter) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), Ui(f).SpeedButton1()->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(Ui(f).SpeedButton1(), &enter);
        } else {
            SendMove(Ui(f).SpeedButton1(), Qt::NoButton);
        }
        QVERIFY(Ui(f).SpeedButton1()->isEnabled());
        QVERIFY(!Ui(f).StripDragging());
    }
    QVERIFY(!f.close());
}

// At the strip's default place (where the window was) the progress dialog
// opens beside it: neither covers the other's text.
void DesktopTest::stripAndDialogApart()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    Ui(f).Press(17);
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTRY_VERIFY(Framed(f));
    Ui(f).EditBuffer().Words[0] = 0x1234; // the blank chip differs
    f.Verify1Click();
    QVERIFY(QTest::qWaitForWindowExposed(Ui(f).Dialog()));
    QTRY_VERIFY(Framed(*Ui(f).Dialog()));
    QTest::qWait(100);
    QVERIFY(Ui(f).Dialog()->StaticText1->text().startsWith(" !! "));
    QVERIFY2(!f.frameGeometry().intersects(Ui(f).Dialog()->frameGeometry()),
             qPrintable(QString("strip %1,%2 dialog %3,%4")
                            .arg(f.frameGeometry().x())
                            .arg(f.frameGeometry().y())
                            .arg(Ui(f).Dialog()->frameGeometry().x())
                            .arg(Ui(f).Dialog()->frameGeometry().y())));
    QVERIFY(OnScreen(*Ui(f).Dialog()));
    const QRect both = f.frameGeometry().united(Ui(f).Dialog()->frameGeometry());
    const QString folder = qEnvironmentVariable("TARNVIK_SHOT_DIR", rig.dir.path());
    f.screen()
        ->grabWindow(0, both.x() - 2, both.y() - 2, both.width() + 4, both.height() + 4)
        .save(folder + "/desktop-" + Desktop() + "-strip-dialog.png");
    Ui(f).Dialog()->Button1Click();
    QVERIFY(!f.close());
}

// A reload of a file that has gone ends with the failure in the status line
// and a blank Current File, like the buffer.
void DesktopTest::failedReloadReported()
{
    DesktopRig rig;
    TForm1 &f = rig.Open();
    const QString gone = rig.Write("gone.hex", ":020000003412B8\n:00000001FF\n");
    FileDialog::PreAnswer(gone);
    Ui(f).Press(1);
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("gone.hex"));
    QFile::remove(gone);
    MessageBox::PreAnswer(0);
    f.BufferClearLoadCurrentFile1Click();
    QVERIFY2(Ui(f).Edit(3)->text().startsWith(" !! \"gone.hex\" "), qPrintable(Ui(f).Edit(3)->text()));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString());
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x3FFF));
    rig.Shot(f, "failed-reload");
}

void DesktopTest::savedPlacesFittedOntoScreen_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::newRow("window taller than the screen") << "" << 100 << 100;
    QTest::newRow("window below the screen's foot") << "" << 700 << 900;
    QTest::newRow("frameless strip off screen") << "minnb" << 5000 << 5000;
    QTest::newRow("framed strip above the screen") << "min" << -300 << 500;
}

void DesktopTest::savedPlacesFittedOntoScreen()
{
    QFETCH(QString, key);
    QFETCH(int, top);
    QFETCH(int, left);
    DesktopRig rig;
    {
        auto s = rig.Settings();
        s.WriteInteger("window", (key + "top").toStdString(), top);
        s.WriteInteger("window", (key + "left").toStdString(), left);
        s.WriteInteger("window", "height", 800);
    }
    TForm1 &f = rig.Open();
    if (!key.isEmpty()) {
        Ui(f).CheckBox(5)->setChecked(key == "minnb");
        Ui(f).Press(17);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        if (key == "min") QTRY_VERIFY(Framed(f));
    }
    QTRY_VERIFY2(OnScreen(f), qPrintable(QString("%1,%2 %3x%4")
                                             .arg(f.frameGeometry().x())
                                             .arg(f.frameGeometry().y())
                                             .arg(f.frameGeometry().width())
                                             .arg(f.frameGeometry().height())));
    if (key.isEmpty()) {
        // The command row and the status line stay inside the window.
        QVERIFY(Ui(f).Edit(3)->geometry().bottom() < f.height());
        QVERIFY(Ui(f).Button(3)->geometry().bottom() < Ui(f).Edit(3)->y());
    } else {
        QVERIFY(!f.close());
    }
}

namespace {

// The platform theme's settings for the dark and the large desktop, in a
// configuration folder of the test's own.
void UseThemeSettings(const QString &folder, const QString &desktop)
{
    if (desktop == "light") return;
    QDir().mkpath(folder + "/qt6ct");
    QFile conf(folder + "/qt6ct/qt6ct.conf");
    if (!conf.open(QIODevice::WriteOnly)) return;
    const QString scheme = desktop == "dark" ? "darker" : "airy";
    conf.write(QString("[Appearance]\n"
                       "color_scheme_path=/usr/share/qt6ct/colors/%1.conf\n"
                       "custom_palette=true\n"
                       "style=Fusion\n"
                       "standard_dialogs=default\n"
                       "[Fonts]\n"
                       "fixed=\"IPAGothic,16,-1,5,50,0,0,0,0,0\"\n"
                       "general=\"IPAPGothic,16,-1,5,50,0,0,0,0,0\"\n")
                   .arg(scheme)
                   .toUtf8());
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    qputenv("QT_QPA_PLATFORMTHEME", "qt6ct");
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    UseThemeSettings(config.path(), Desktop());
    QApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
