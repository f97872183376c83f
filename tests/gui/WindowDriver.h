// The tests' one way into the main window: its controls found by their
// component names (objectName), as a user or a screen reader knows them,
// the few actions the tests take on them, and read-only views of what
// shows nowhere on screen (the buffer, the port, the strip's state). The
// window's own members stay its own.
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
#include <optional>
#include <string>

#include "DeviceWatch.h"
#include "Unit1.h"

class WindowDriver {
public:
    explicit WindowDriver(const QWidget &window) : window_(window) {}
    explicit WindowDriver(TForm1 &form) : window_(form), form_(&form) {}

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
    // Presses the button ButtonN as a user does; one that is disabled ends
    // the test run, since the press would do nothing.
    void Press(int n) const
    {
        QPushButton *button = Button(n);
        if (!button->isEnabled()) qFatal("Button%d is disabled", n);
        button->click();
    }
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

    // ---- what shows nowhere on screen ----
    const MemoryBuffer &Buffer() const { return Form().session.Buffer; }
    bool PortOpen() const { return Form().session.Port.IsOpen(); }
    std::string PortName() const { return Form().session.Port.PortName(); }
    // The production window Ctrl+Shift+P opened, while it is open.
    QWidget *ProductionWindowShown() const { return Form().production_.data(); }
    // The port number whose button is marked, 0 when none is.
    int MarkedPort() const { return Form().MarkedPort(); }
    bool Pic18() const { return Form().Pic18; }
    // The device list's position, -1 when nothing is selected.
    int Selected() const { return Form().Selected(); }
    const TDeviceSpec *SelectedDevice() const { return Form().SelectedDevice(); }
    const TDeviceSpec18 *SelectedDevice18() const { return Form().SelectedDevice18(); }
    // The full path; the Current File box shows only the name.
    const std::string &CurrentFile() const { return Form().CurrentFile; }
    const std::optional<ChainResult> &LastChain() const { return Form().LastChain(); }
    bool SmallBoxActive() const { return Form().SmallBox.Active; }
    // The window system is moving the strip.
    bool StripDragging() const { return Form().SmallBox.Dragging; }
    QList<QWidget *> SmallBoxHidden() const { return Form().SmallBoxHidden(); }
    QList<QWidget *> LockedControls() const { return Form().LockedControls(); }
    bool SmallBlockFlag() const { return Form().SmallBlock(); }
    ModemOptions CurrentModemOptions() const { return Form().CurrentModemOptions(); }
    TForm3 *Dialog() const { return Form().Form3; }
    // The settings as the window holds them (written to the file at exit).
    const SettingsFile &Settings() const { return *Form().Settings; }
    bool FirstShowPending() const { return Form().FirstShowPending; }
    bool ClosePending() const { return Form().ClosePending; }
    using PortLook = TForm1::PortLook;
    PortLook PortLookOf(int n) const { return Form().PortLookOf(n); }

    // ---- what the tests do that no control does ----
    // The buffer to put an image in as a load would; RedrawBuffer or
    // FillConfigFields then shows it.
    MemoryBuffer &EditBuffer() const { return Form().session.Buffer; }
    void RedrawBuffer() const { Form().RedrawBuffer(); }
    void FillConfigFields() const { Form().FillConfigFields(); }
    void SetCurrentFile(const std::string &path) const { Form().SetCurrentFile(path); }
    // As a load of a file that set no configuration leaves the window.
    void MarkFileWithoutConfiguration() const { Form().FileLacksConfiguration = true; }
    void MarkPort(int n) const { Form().MarkPort(n); }
    void SetPortLook(int n, PortLook look) const { Form().SetPortLook(n, look); }
    // Closes the port under the window, as a test's end or a lost device.
    void ClosePort() const { Form().session.Port.ClosePort(); }
    void CommandLock(bool on) const { Form().CommandLock(on); }
    // The port search as the window runs it; see TForm1::ProbePorts.
    int ProbePorts(int &found) const { return Form().ProbePorts(found); }
    // A serial device plugged in (added) or out, as udev announces it.
    void Announce(bool added, const QString &node) const { Form().Watch->Announce(added, node); }
    bool SaveBeforeSignalEnd() const { return Form().SaveBeforeSignalEnd(); }
    // The device check of a main-window command on its own; true when passed.
    bool CheckDevice() const
    {
        OperationContext ctx = Form().Context();
        return Form().DeviceCheck(ctx, false);
    }

private:
    TForm1 &Form() const
    {
        if (!form_) qFatal("the driver was made for another window than the main window");
        return *form_;
    }
    static QString Numbered(const char *kind, int n)
    {
        return QString::fromLatin1(kind) + QString::number(n);
    }
    const QWidget &window_;
    TForm1 *form_ = nullptr;
};

inline WindowDriver Ui(const QWidget &window)
{
    return WindowDriver(window);
}

inline WindowDriver Ui(TForm1 &form)
{
    return WindowDriver(form);
}
