// What a screen reader and a keyboard user find in the windows: every control
// named and in a role that says what it is, labels leading to their fields,
// the status texts announced when they change, the Option tab in page order,
// the dump views read line by line and a focus ring that can be seen.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QTest>
#include <algorithm>
#include <functional>

#include "Accessibility.h"
#include "Colours.h"
#include "ConfigBitsDialog.h"
#include "guitestutil.h"

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlNamedInItsRole();
    void labelsLeadToTheirFields();
    void statusTextsAreAnnounced();
    void optionTabInPageOrder();
    void dumpCaretMovesLineByLine();
    void focusRingStandsOutOnLightAndDark();
};

namespace {

QAccessibleInterface *Access(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QString Name(QObject *o)
{
    return Access(o)->text(QAccessible::Name);
}

// The visible controls under root without a name, or reported only as a
// filler, as "objectName (class)".
QStringList Unnamed(QWidget *root)
{
    QStringList found;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisible()) continue;
        if (!(qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
              qobject_cast<QComboBox *>(w) || qobject_cast<QPlainTextEdit *>(w) ||
              qobject_cast<QProgressBar *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w)))
            continue;
        QAccessibleInterface *a = Access(w);
        if (a->text(QAccessible::Name).trimmed().isEmpty() || a->role() == QAccessible::Client)
            found << w->objectName() + " (" + w->metaObject()->className() + ")";
        if (auto *box = qobject_cast<QComboBox *>(w); box && Name(box->view()).isEmpty())
            found << w->objectName() + "'s list";
    }
    return found;
}

bool LabelledBy(QWidget *field, QWidget *label)
{
    for (const auto &[other, relation] : Access(field)->relations(QAccessible::Label))
        if (other->object() == label) return true;
    return false;
}

// The config bits dialog the "ビット名…" button opens for a part with names.
TConfigBitsDialog *OpenConfigBits(TForm1 &f)
{
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ConfigTab);
    Ui(f).CheckBox(1)->setChecked(true);
    QTest::mouseClick(Ui(f).ConfigBitsButton(), Qt::LeftButton);
    return f.findChild<TConfigBitsDialog *>();
}

} // namespace

// A screen reader on the session's accessibility bus, as Orca listens: it
// asks the registry for every application's name changes and keeps the
// objects they came from.
class TScreenReader : public QObject {
    Q_OBJECT
public:
    QDBusConnection bus{QString()};

    bool Listen()
    {
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
        if (!address.isValid()) return false;
        bus = QDBusConnection::connectToBus(address.value(), "tarnvik-screen-reader");
        if (!bus.connect(QString(), QString(), "org.a11y.atspi.Event.Object", "PropertyChange", this,
                         SLOT(PropertyChange(QDBusMessage))))
            return false;
        QDBusMessage listen = QDBusMessage::createMethodCall(
            "org.a11y.atspi.Registry", "/org/a11y/atspi/registry", "org.a11y.atspi.Registry", "RegisterEvent");
        listen << QStringLiteral("Object:PropertyChange:AccessibleName");
        return bus.call(listen).type() == QDBusMessage::ReplyMessage;
    }
    ~TScreenReader() override
    {
        if (bus.isConnected()) QDBusConnection::disconnectFromBus(bus.name());
    }

    // Whether a change of widget's name has been heard since the last Forget.
    bool Heard(QWidget *widget) const
    {
        const QString path = "/" + QString::number(QAccessible::uniqueId(Access(widget)));
        return std::any_of(named.begin(), named.end(), [&](const QString &p) { return p.endsWith(path); });
    }
    void Forget() { named.clear(); }

private slots:
    void PropertyChange(const QDBusMessage &message)
    {
        if (!message.arguments().isEmpty() && message.arguments().first().toString() == "accessible-name")
            named << message.path();
    }

private:
    QStringList named;
};

void AccessibilityTest::everyControlNamedInItsRole()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    QCOMPARE(Access(&f)->role(), QAccessible::Window);
    QCOMPARE(Name(&f), TForm1::VersionCaption);
    for (int tab = 0; tab < Ui(f).PageControl1()->count(); ++tab) {
        Ui(f).PageControl1()->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        const QStringList unnamed = Unnamed(&f);
        QVERIFY2(unnamed.isEmpty(),
                 qPrintable(Ui(f).PageControl1()->tabText(tab) + ": " + unnamed.join(", ")));
    }
    // The "v" buttons say what they open, the drop-downs what they choose.
    QCOMPARE(Name(Ui(f).Button(14)), QString("PROG.のメニュー"));
    QCOMPARE(Name(Ui(f).ComboBox1()), QString("DEVICE: PIC16F877A"));
    QCOMPARE(Access(Ui(f).Edit(3))->role(), QAccessible::StatusBar);

    w.dialog->ShowDialog();
    QCOMPARE(Access(w.dialog.get())->role(), QAccessible::Dialog);
    QCOMPARE(Unnamed(w.dialog.get()), QStringList());
    w.dialog->hide();

    TConfigBitsDialog *bits = OpenConfigBits(f);
    QVERIFY(bits);
    QCOMPARE(Unnamed(bits), QStringList());
    bits->reject();
}

void AccessibilityTest::labelsLeadToTheirFields()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    std::vector<std::pair<QLabel *, QWidget *>> pairs{{Ui(f).Label(7), Ui(f).Edit(6)},
                                                      {Ui(f).Label(1), Ui(f).Memo(1)},
                                                      {Ui(f).Label(3), Ui(f).Memo(2)},
                                                      {Ui(f).Label(5), Ui(f).Memo(3)}};
    for (int slot = 0; slot < 4; ++slot)
        pairs.emplace_back(Ui(f).SlotLabels()[slot], Ui(f).SlotValues()[slot]);
    for (auto [label, field] : pairs) {
        QCOMPARE(label->buddy(), field);
        QVERIFY2(LabelledBy(field, label), qPrintable(field->objectName()));
    }
    // A value field says which slot it holds, its address field too.
    QCOMPARE(Name(Ui(f).MaskEdit(1)), QString("CAL1"));
    QVERIFY2(Name(Ui(f).Edit(1)).startsWith("CAL1"), qPrintable(Name(Ui(f).Edit(1))));

    TConfigBitsDialog *bits = OpenConfigBits(f);
    QVERIFY(bits);
    for (QComboBox *box : bits->findChildren<QComboBox *>()) {
        QLabel *label = nullptr;
        for (QLabel *l : bits->findChildren<QLabel *>())
            if (l->buddy() == box) label = l;
        QVERIFY2(label && label->text() == box->objectName(), qPrintable(box->objectName()));
        QVERIFY(LabelledBy(box, label));
        // Named by the field first, the setting after it.
        QCOMPARE(Name(box), box->objectName() + ": " + box->currentText());
    }
    bits->reject();
}

void AccessibilityTest::statusTextsAreAnnounced()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    // No port probe at start-up, which would write its own status meanwhile.
    Ui(f).Timer1()->stop();
    // Qt tells screen readers only while its bridge is active. The offscreen
    // platform never has one, and there only what the announcement would be
    // read as is checked; the run on X11 in a session with accessibility on
    // must have one, or it would pass without having heard anything.
    const bool required = qEnvironmentVariable("TARNVIK_A11Y_BRIDGE") == "required";
    if (required)
        QTRY_VERIFY2_WITH_TIMEOUT(QAccessible::isActive(),
                                  qPrintable("no screen reader bridge in the session on \"" +
                                             qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") + "\""),
                                  10000);
    TScreenReader reader;
    if (required) {
        QVERIFY2(reader.Listen(), qPrintable(reader.bus.lastError().message()));
        // The application hears of the new listener in its own time: until
        // it does, no change goes out.
        QLabel probe;
        MarkStatusText(&probe, "probe");
        int n = 0;
        const auto probed = [&] {
            if (reader.Heard(&probe)) return true;
            probe.setText(QString::number(++n));
            AnnounceStatus(&probe);
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(probed(), 10000);
    }

    // What the announcement makes a screen reader read: the status bar of
    // each window, named by the result and reading it as its text.
    const QString ok = "ベリファイOK。一致しました。";
    const std::vector<std::pair<std::function<void()>, QWidget *>> windows{
        {[&] { f.SetStatus(ok.toStdString()); }, Ui(f).Edit(3)},
        {[&] { f.SetDialogStatus(ok.toStdString()); }, w.dialog->StaticText1}};
    for (const auto &[set, status] : windows) {
        reader.Forget();
        set();
        if (required) QTRY_VERIFY2(reader.Heard(status), qPrintable(status->objectName()));
        QCOMPARE(Access(status)->role(), QAccessible::StatusBar);
        QCOMPARE(Name(status), ok);
        QCOMPARE(Access(status)->textInterface()->text(0, int(ok.size())), ok);
    }
    // An empty status line still says what it is.
    Ui(f).Edit(3)->clear();
    QVERIFY(!Name(Ui(f).Edit(3)).isEmpty());
}

void AccessibilityTest::optionTabInPageOrder()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QWidget *page = Ui(f).TabSheet(4);
    QList<QWidget *> stops;
    for (QWidget *c : page->findChildren<QWidget *>())
        if (c->focusPolicy() & Qt::TabFocus) stops << c;
    // From the first stop on the page, the chain visits every stop of it
    // down each column, left column first.
    QWidget *at = Ui(f).RadioButtons()[0];
    QList<QWidget *> order;
    for (QWidget *c = at; order.size() < stops.size(); c = c->nextInFocusChain())
        if (stops.contains(c) && !order.contains(c)) order << c;
    const int rightColumn = Ui(f).CheckBox(3)->mapTo(page, QPoint()).x();
    for (int i = 1; i < order.size(); ++i) {
        const QRect a(order[i - 1]->mapTo(page, QPoint()), order[i - 1]->size());
        const QRect b(order[i]->mapTo(page, QPoint()), order[i]->size());
        const QString step = order[i - 1]->objectName() + " -> " + order[i]->objectName();
        const bool aRight = a.x() >= rightColumn, bRight = b.x() >= rightColumn;
        QVERIFY2(!aRight || bRight, qPrintable(step));
        if (aRight != bRight) continue;
        const int centre = b.center().y();
        QVERIFY2(centre >= a.top(), qPrintable(step));
        if (centre <= a.bottom()) QVERIFY2(b.x() > a.x(), qPrintable(step));
    }
    QCOMPARE(order.first(), Ui(f).RadioButtons()[0]);
    QCOMPARE(order.last(), static_cast<QWidget *>(Ui(f).CheckBox(4)));
}

void AccessibilityTest::dumpCaretMovesLineByLine()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    Ui(f).Memo(1)->setFocus();
    QTest::keyClick(Ui(f).Memo(1), Qt::Key_Down);
    QCOMPARE(Ui(f).Memo(1)->textCursor().blockNumber(), 1);
    QTest::keyClick(Ui(f).Memo(1), Qt::Key_PageDown);
    const int line = Ui(f).Memo(1)->textCursor().blockNumber();
    QVERIFY(line > 2);
    // What a screen reader reads there is that line of the dump.
    QAccessibleTextInterface *text = Access(Ui(f).Memo(1))->textInterface();
    QVERIFY(text);
    QCOMPARE(text->cursorPosition(), Ui(f).Memo(1)->textCursor().position());
    int start = 0, end = 0;
    const QString read = text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end);
    QCOMPARE(read.trimmed(), Ui(f).Memo(1)->document()->findBlockByNumber(line).text().trimmed());
}

void AccessibilityTest::focusRingStandsOutOnLightAndDark()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Highlight, QColor(0x1E, 0x3A, 0x5F)); // barely off the window colour
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    for (const QPalette &palette : {f.palette(), dark}) {
        f.setPalette(palette);
        for (QWidget *control :
             {static_cast<QWidget *>(Ui(f).Button(10)), static_cast<QWidget *>(Ui(f).CheckBox(4)),
              static_cast<QWidget *>(Ui(f).RadioButtons()[0])}) {
            control->setFocus();
            QVERIFY(control->hasFocus());
            const QColor ring = TFocusRingStyle::RingColour(control->palette());
            QVERIFY(ContrastRatio(ring, control->palette().color(QPalette::Window)) >= MinimumContrast);
            const QImage shot = control->grab().toImage();
            const qreal dpr = shot.devicePixelRatio();
            QCOMPARE(shot.pixelColor(QPoint(1, control->height() / 2) * dpr).rgb(), ring.rgb());
        }
    }
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
