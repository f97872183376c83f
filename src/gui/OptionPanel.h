// The Option tab: the port buttons COM1..COM10 and what each port turned out
// to be, Open/Close/Search/Version, the modem lines (CTRL, RTS, DTR, the wait
// after opening), the command options and Small Box.
#pragma once

#include <array>

#include "PortLook.h"
#include "RadioGroup.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;
class WindowHandlers;

class OptionPanel {
public:
    OptionPanel(QWidget &form, WindowHandlers &handlers, QTabWidget *pages);

    // Port buttons: n = 1..10 marks COM n, 0 clears all; MarkedPort gives
    // the marked number or 0.
    void MarkPort(int n);
    int MarkedPort() const;
    // Port n's button drawn as that look: bold blue while probed, bold
    // orange for a programmer, disabled grey when unusable.
    void SetPortLook(int n, PortLook look);
    PortLook PortLookOf(int n) const { return portLooks_[n - 1]; }
    // The looks drawn again for the palette in use.
    void RefreshPortLooks();

    QWidget *TabSheet4;
    QGroupBox *GroupBox3;
    std::array<QRadioButton *, 10> RadioButton{}; // RadioButton1 .. RadioButton10
    QButtonGroup *PortButtons;
    QPushButton *Button10, *Button11, *Button20, *Button12, *Button17;
    QCheckBox *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8, *CheckBox9;
    TRadioGroup *RadioGroup2, *RadioGroup3;
    QLineEdit *Edit6;
    QLabel *Label7; // "ms"

private:
    void CreatePorts(QWidget &form);
    void CreateModemLines(QWidget &form);
    void CreateOptions(QWidget &form);
    std::array<PortLook, 10> portLooks_{};
    WindowHandlers &handlers_;
};
