// The tests' one way into the main window: its controls found by their
// component names (objectName), as a user or a screen reader knows them,
// and the few actions the tests take on them. The window's own members stay
// its own.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <array>

#include "Unit1.h"
#include "WindowDriver.h"

class WindowDriver {
public:
    explicit WindowDriver(const QWidget &window) : window_(window) {}

    // The one control of that name and type; a missing or doubled name ends
    // the test run, since every later step would test the wrong control.
    template <class T> T *Find(const QString &name) const
    {
        const QList<T *> found = window_.findChildren<T *>(name);
        if (found.size() != 1)
            qFatal("the window has %d controls named %s", int(found.size()), qPrintable(name));
        return found.first();
    }

    QPushButton *Button(int n) const { return Find<QPushButton>(Numbered("Button", n)); }
    QCheckBox *CheckBox(int n) const { return Find<QCheckBox>(Numbered("CheckBox", n)); }
    QLineEdit *Edit(int n) const { return Find<QLineEdit>(Numbered("Edit", n)); }
    QLineEdit *MaskEdit(int n) const { return Find<QLineEdit>(Numbered("MaskEdit", n)); }
    QPlainTextEdit *Memo(int n) const { return Find<QPlainTextEdit>(Numbered("Memo", n)); }
    QLabel *Label(int n) const { return Find<QLabel>(Numbered("Label", n)); }
    QLabel *StaticText(int n) const { return Find<QLabel>(Numbered("StaticText", n)); }
    QGroupBox *GroupBox(int n) const { return Find<QGroupBox>(Numbered("GroupBox", n)); }
    QWidget *TabSheet(int n) const { return Find<QWidget>(Numbered("TabSheet", n)); }
    QMenu *PopupMenu(int n) const { return Find<QMenu>(Numbered("PopupMenu", n)); }
    TRadioGroup *RadioGroup(int n) const { return Find<TRadioGroup>(Numbered("RadioGroup", n)); }
    QComboBox *ComboBox1() const { return Find<QComboBox>("ComboBox1"); }
    QTabWidget *PageControl1() const { return Find<QTabWidget>("PageControl1"); }
    QProgressBar *ProgressBar1() const { return Find<QProgressBar>("ProgressBar1"); }
    QToolButton *SpeedButton1() const { return Find<QToolButton>("SpeedButton1"); }
    QPushButton *ConfigBitsButton() const { return Find<QPushButton>("ConfigBitsButton"); }
    QTimer *Timer1() const { return Find<QTimer>("Timer1"); }
    // The port buttons COM1 .. COM10 (RadioButton1 .. RadioButton10).
    std::array<QRadioButton *, 10> RadioButtons() const
    {
        std::array<QRadioButton *, 10> ports{};
        for (int i = 0; i < 10; ++i)
            ports[i] = Find<QRadioButton>(Numbered("RadioButton", i + 1));
        return ports;
    }
    // The Config tab's Config1, Config2, CAL1, CAL2 rows in that order.
    std::array<QLabel *, 4> SlotLabels() const { return {Label(6), Label(8), Label(2), Label(4)}; }
    std::array<QLineEdit *, 4> SlotAddresses() const { return {Edit(4), Edit(5), Edit(1), Edit(2)}; }
    std::array<QLineEdit *, 4> SlotValues() const
    {
        return {MaskEdit(3), MaskEdit(4), MaskEdit(1), MaskEdit(2)};
    }
    // The PIC18 family's Config1 .. Config7 value fields.
    std::array<QLineEdit *, 7> Config18Values() const
    {
        return {MaskEdit(3), MaskEdit(4), MaskEdit(5), MaskEdit(6), MaskEdit(7), MaskEdit(8), MaskEdit(9)};
    }

    // ---- actions ----
    // The status line's text.
    QString Status() const { return Edit(3)->text(); }
    // The Message tab's lines.
    QStringList Log() const { return Memo(4)->toPlainText().split('\n'); }
    void ChooseTab(int index) const { PageControl1()->setCurrentIndex(index); }
    // Picks a device the way the user does: chooses the entry in the list.
    void ChooseDevice(const QString &name) const
    {
        QComboBox *list = ComboBox1();
        const int i = list->findText(name);
        QVERIFY2(i >= 0, qPrintable(name));
        list->setCurrentIndex(i);
        emit list->activated(i);
    }

private:
    static QString Numbered(const char *kind, int n)
    {
        return QString::fromLatin1(kind) + QString::number(n);
    }
    const QWidget &window_;
};

inline WindowDriver Ui(const QWidget &window)
{
    return WindowDriver(window);
}
