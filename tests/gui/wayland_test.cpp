// The window on a Wayland display (weston): start-up discovery of the
// programmer behind COM3, LOAD, the full program chain, Small Box in and
// out, and a settings file that keeps the places an X11 session saved,
// since Wayland tells a client nothing of where its windows stand.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QTabWidget>
#include <cstdio>

#include "FileDialog.h"
#include "MessageBox.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowDriver.h"
#include "settings/settings.h"

namespace {

void Save(QWidget &w, const QString &name)
{
    QDir().mkpath(TARNVIK_SHOT_DIR);
    const QString path = QString(TARNVIK_SHOT_DIR) + "/" + name;
    if (w.grab().save(path, "PNG")) std::printf("screenshot: %s\n", qPrintable(path));
}

void Trigger(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text) {
            a->trigger();
            return;
        }
    QFAIL(qPrintable("no menu item " + text));
}

// The keys an X11 session left, which a Wayland session must not touch.
const std::pair<const char *, int> X11Places[] = {{"top", 111},     {"left", 222},     {"mintop", 33},
                                                  {"minleft", 44}, {"minnbtop", 55}, {"minnbleft", 66}};

} // namespace

class OnWayland : public QObject {
    Q_OBJECT
private slots:
    void programAndKeepThePlaces();
};

void OnWayland::programAndKeepThePlaces()
{
    if (!QGuiApplication::platformName().startsWith("wayland"))
        QSKIP("needs a Wayland display (the CTest entry starts one)");
    QProcess sim;
    sim.start(TARNBOX_SIM, {"--chip", "PIC16F877A"});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    const std::string ini = dir.filePath("tarnvik.ini").toStdString();
    {
        SettingsFile s(ini);
        for (int n = 1; n <= 10; ++n)
            s.WriteString("ports", "com" + std::to_string(n), n == 3 ? pty.toStdString() : "");
        s.WriteString("device", "group", "PIC16");
        for (const auto &[key, value] : X11Places)
            s.WriteInteger("window", key, value);
        s.Save();
    }
    FileDialog::Reset();
    MessageBox::Reset();
    {
        TForm1 f(nullptr, ini);
        TForm3 dialog;
        f.SetProgressDialog(&dialog);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_VERIFY_WITH_TIMEOUT(Ui(f).PortOpen() && !Ui(f).Timer1()->isActive(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(Ui(f).Button(8)->isEnabled(), 15000);
        QCOMPARE(Ui(f).PortName(), std::string("COM3"));

        const int row = Ui(f).ComboBox1()->findText("PIC16F877A");
        Ui(f).ComboBox1()->setCurrentIndex(row);
        emit Ui(f).ComboBox1()->activated(row);
        FileDialog::PreAnswer(QString(TARNVIK_HEX_FIXTURES) + "/p16f877a.hex");
        QTest::mouseClick(Ui(f).Button(1), Qt::LeftButton);
        QCOMPARE(Ui(f).Edit(3)->text(), QString(" \"p16f877a.hex\" をロードしました。"));
        Trigger(Ui(f).PopupMenu(1), ">BufferClear >Load >Erase >BlankCheck >Program >Verify");
        QTRY_COMPARE_WITH_TIMEOUT(Ui(f).Edit(3)->text(), QString("ベリファイOK。一致しました。"), 60000);
        QTRY_VERIFY(Ui(f).Button(4)->isEnabled());
        Save(f, "wayland-main-window.png");

        // A framed strip would be all the client's own title bar buttons:
        // it goes without a frame here whatever the option says.
        Ui(f).CheckBox(5)->setChecked(false);
        QTest::mouseClick(Ui(f).Button(17), Qt::LeftButton);
        QVERIFY(Ui(f).SmallBoxActive());
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(f.size(), QSize(TForm1::SmallBoxWidth, TForm1::SmallBoxClientHeight));
        Save(f, "wayland-small-box-strip.png");
        // The strip's menu opens below it, on the screen.
        QTest::mouseClick(Ui(f).SpeedButton1(), Qt::LeftButton);
        QTRY_VERIFY(Ui(f).PopupMenu(4)->isVisible());
        QVERIFY(f.screen()->geometry().contains(Ui(f).PopupMenu(4)->geometry()));
        QCOMPARE(Ui(f).PopupMenu(4)->geometry().top(),
                 Ui(f).SpeedButton1()->mapToGlobal(QPoint(0, 0)).y() + 16);
        Save(*Ui(f).PopupMenu(4), "wayland-small-box-menu.png");
        Ui(f).PopupMenu(4)->close();
        Trigger(Ui(f).PopupMenu(4), "&Read");
        QTRY_COMPARE_WITH_TIMEOUT(dialog.StaticText1->text(), QString("デバイスからバッファに読み込みました。"),
                                  60000);
        QTRY_VERIFY(dialog.Button1->isEnabled());
        QTest::mouseClick(dialog.Button1, Qt::LeftButton);
        Trigger(Ui(f).PopupMenu(4), "Re&turn to Settings...");
        QTRY_VERIFY(!Ui(f).SmallBoxActive());
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(Ui(f).Button(4)->isVisible());
        QVERIFY(f.close());
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));

    // The closing wrote the file, and the places in it are the X11 session's.
    SettingsFile s(ini);
    for (const auto &[key, value] : X11Places)
        QCOMPARE(s.ReadInteger("window", key, -1), value);
    QCOMPARE(s.ReadString("device", "name", ""), std::string("PIC16F877A"));
    QVERIFY(s.ReadInteger("window", "width", -1) > 0);
}

QTEST_MAIN(OnWayland)
#include "wayland_test.moc"
