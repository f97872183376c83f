#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "guitestutil.h"

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void screenshot();
    void nothingClippedAtDesignedSize();
};

// Every caption fits its control at the designed size: a control narrower
// than its own size hint cuts its text.
void WindowTest::nothingClippedAtDesignedSize()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    QCOMPARE(f.size(), QSize(TForm1::DesignedClientWidth, TForm1::DesignedClientHeight));
    QStringList clipped;
    for (int tab = 0; tab < 5; ++tab) {
        f.PageControl1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        for (QWidget *c : f.findChildren<QWidget *>()) {
            if (!c->isVisible() || c->objectName().isEmpty())
                continue;
            const bool texty = qobject_cast<QAbstractButton *>(c) || qobject_cast<QLabel *>(c);
            if (!texty)
                continue;
            // A push button's hint has a style minimum; its text is what matters.
            auto *push = qobject_cast<QPushButton *>(c);
            const QSize need = push ? QSize(push->fontMetrics().horizontalAdvance(push->text()) + 8, 20)
                                    : c->sizeHint();
            if (push && push->width() == 12)
                continue; // the "v" buttons are designed 12 pixels wide
            if (need.width() > c->width() || need.height() > c->height() + 4)
                clipped << QString("%1 %2x%3 < %4x%5")
                               .arg(c->objectName())
                               .arg(c->width())
                               .arg(c->height())
                               .arg(need.width())
                               .arg(need.height());
            const QRect inWindow(c->mapTo(&f, QPoint(0, 0)), c->size());
            const QWidget *p = c->parentWidget();
            const QRect parentRect(p->mapTo(&f, QPoint(0, 0)), p->size());
            if (!parentRect.contains(inWindow))
                clipped << c->objectName() + " leaves its parent";
        }
    }
    clipped.removeDuplicates();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
}

void WindowTest::screenshot()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F877A");
    TForm1 &f = w.Create();
    const QByteArray dir = qgetenv("TARNVIK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("set TARNVIK_SCREENSHOT_DIR to save screenshots");
    for (int tab = 0; tab < 5; ++tab) {
        f.PageControl1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        qInfo("page %d x %d", f.TabSheet4->width(), f.TabSheet4->height());
        f.grab().save(QString("%1/window-tab%2.png").arg(QString::fromLocal8Bit(dir)).arg(tab));
    }
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
