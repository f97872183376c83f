// The window under a real window manager (openbox on a virtual display, so
// frames exist as on a desktop): where it comes back after start and END,
// the Small Box strip with its frame and the round trip, the device list's
// popup and the file dialog's language.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "FileDialog.h"
#include "MessageBox.h"
#include "Translations.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowDriver.h"
#include "settings/settings.h"

namespace {

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The window manager has put its frame around the window.
bool Framed(const QWidget &w)
{
    return w.frameGeometry().size() != w.size();
}

} // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void positionStaysOverStarts();
    void smallBoxRoundTrip_data();
    void smallBoxRoundTrip();
    void deviceListShows23Rows();
    void stripFileDialog();

private:
    // A window on the test's settings file, shown, framed and past its
    // start-up port probe (no port leads anywhere).
    std::unique_ptr<TForm1> Start();
    QTemporaryDir dir_;
    QString ini_;
};

void FrameTest::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display (the CTest entry starts one)");
    QVERIFY(dir_.isValid());
    ini_ = dir_.filePath("tarnvik.ini");
    SettingsFile s(ini_.toStdString());
    for (int n = 1; n <= 10; ++n)
        s.WriteString("ports", "com" + std::to_string(n), "");
    s.Save();
    MessageBox::Reset();
}

std::unique_ptr<TForm1> FrameTest::Start()
{
    auto f = std::make_unique<TForm1>(nullptr, ini_.toStdString());
    f->show();
    if (!QTest::qWaitForWindowExposed(f.get())) return nullptr;
    if (!QTest::qWaitFor([&] { return Framed(*f) && Ui(*f).Button(8)->isEnabled(); }, 10000)) return nullptr;
    QTest::qWait(50);
    return f;
}

void FrameTest::positionStaysOverStarts()
{
    {
        SettingsFile s(ini_.toStdString());
        s.WriteInteger("window", "top", 92);
        s.WriteInteger("window", "left", 200);
        s.Save();
    }
    QByteArray written;
    for (int start = 1; start <= 3; ++start) {
        auto f = Start();
        QVERIFY(f);
        QCOMPARE(f->frameGeometry().topLeft(), QPoint(200, 92));
        QTest::mouseClick(Ui(*f).Button(8), Qt::LeftButton); // END
        QTRY_VERIFY(!f->isVisible());
        if (start > 1) QCOMPARE(Contents(ini_), written);
        written = Contents(ini_);
    }
}

void FrameTest::smallBoxRoundTrip_data()
{
    QTest::addColumn<bool>("noBorder");
    QTest::newRow("framed strip") << false;
    QTest::newRow("frameless strip") << true;
}

void FrameTest::smallBoxRoundTrip()
{
    QFETCH(bool, noBorder);
    {
        SettingsFile s(ini_.toStdString());
        s.WriteInteger("window", "top", 150);
        s.WriteInteger("window", "left", 250);
        s.WriteInteger("window", noBorder ? "minnbtop" : "mintop", 300);
        s.WriteInteger("window", noBorder ? "minnbleft" : "minleft", 400);
        s.Save();
    }
    auto f = Start();
    QVERIFY(f);
    const QPoint before = f->frameGeometry().topLeft();
    const QSize client = f->size();
    const QByteArray saved = Contents(ini_);
    Ui(*f).CheckBox(5)->setChecked(noBorder);
    QTest::mouseClick(Ui(*f).Button(17), Qt::LeftButton);
    QVERIFY(Ui(*f).SmallBoxActive());
    QVERIFY(QTest::qWaitForWindowExposed(f.get()));
    if (!noBorder) QTRY_VERIFY(Framed(*f));
    // The framed strip is 74 pixels wide outside, the frameless one inside
    // (a window manager may still draw a border round it); both are 18 high
    // inside.
    QTRY_COMPARE(noBorder ? f->width() : f->frameGeometry().width(), TForm1::SmallBoxWidth);
    QCOMPARE(f->height(), TForm1::SmallBoxClientHeight);
    QTRY_COMPARE(f->frameGeometry().topLeft(), QPoint(400, 300));
    QTest::qWait(100);
    QDir().mkpath(TARNVIK_SHOT_DIR);
    const QRect strip = f->frameGeometry().adjusted(-4, -4, 4, 4);
    f->screen()
        ->grabWindow(0, strip.x(), strip.y(), strip.width(), strip.height())
        .scaled(strip.size() * 3)
        .save(QString(TARNVIK_SHOT_DIR) +
              (noBorder ? "/frame-strip-frameless-x3.png" : "/frame-strip-framed-x3.png"));

    f->FormClick(); // a click beside the strip's button
    QVERIFY(!f->close());
    QVERIFY(QTest::qWaitForWindowExposed(f.get()));
    QTRY_VERIFY(Framed(*f));
    // Where it was and as large; how thick the window manager draws the
    // frame is its own affair.
    QTRY_COMPARE(f->frameGeometry().topLeft(), before);
    QTest::qWait(100);
    QCOMPARE(f->frameGeometry().topLeft(), before);
    QCOMPARE(f->size(), client);
    // A strip that was not moved keeps its place in the file.
    QCOMPARE(Contents(ini_), saved);
    // The status line is no Tab stop and is not left with the focus.
    QVERIFY(f->focusWidget() != Ui(*f).Edit(3));
    f->close();
}

void FrameTest::deviceListShows23Rows()
{
    auto f = Start();
    QVERIFY(f);
    Ui(*f).ComboBox1()->showPopup();
    QAbstractItemView *list = Ui(*f).ComboBox1()->view();
    QTRY_VERIFY(list->isVisible());
    const int row = list->sizeHintForRow(0);
    QVERIFY(row > 0);
    const int rows = (list->viewport()->height() + row / 2) / row;
    Ui(*f).ComboBox1()->hidePopup();
    QCOMPARE(rows, 23);
    f->close();
}

// From the strip the open dialog comes up over it, on its screen, wide
// enough for its columns, and in Japanese.
void FrameTest::stripFileDialog()
{
    {
        SettingsFile s(ini_.toStdString());
        s.WriteInteger("window", "minnbtop", 300);
        s.WriteInteger("window", "minnbleft", 400);
    }
    InstallTranslations(*qApp);
    FileDialog::Reset();
    auto f = Start();
    QVERIFY(f);
    Ui(*f).CheckBox(5)->setChecked(true);
    f->Button17Click();
    QVERIFY(QTest::qWaitForWindowExposed(f.get()));
    const QPoint strip = f->frameGeometry().center();
    const QRect screen = f->screen()->availableGeometry();
    QString cancel, open;
    QRect placed;
    // The dialog runs modally; it is read and dismissed from inside.
    QTimer::singleShot(500, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        placed = dialog->frameGeometry();
        QDir().mkpath(TARNVIK_SHOT_DIR);
        dialog->screen()
            ->grabWindow(0, placed.x() - 4, placed.y() - 4, placed.width() + 8, placed.height() + 8)
            .save(QString(TARNVIK_SHOT_DIR) + "/frame-strip-file-dialog.png", "PNG");
        if (auto *box = dialog->findChild<QDialogButtonBox *>()) {
            if (auto *b = box->button(QDialogButtonBox::Open)) open = b->text();
            if (auto *b = box->button(QDialogButtonBox::Cancel)) cancel = b->text();
        }
        dialog->reject();
    });
    QCOMPARE(FileDialog::Open(f.get()), QString());
    QVERIFY2(open.contains(QStringLiteral("開く")), qPrintable(open));
    QVERIFY2(cancel.contains(QStringLiteral("キャンセル")), qPrintable(cancel));
    QVERIFY(screen.contains(placed));
    QVERIFY(placed.contains(strip));
    QVERIFY(placed.width() >= 600 && placed.height() >= 400);
    QVERIFY(!f->close()); // back to the window
    f->close();
}

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
