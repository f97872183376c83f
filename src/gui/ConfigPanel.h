// The Configuration Memory tab: the configuration dump, the Config and CAL
// slots (label, address, value), the two change options with their warnings,
// Set, and the button that opens the configuration bits by name.
#pragma once

#include <QString>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class WindowHandlers;

class ConfigPanel {
public:
    ConfigPanel(QWidget &form, WindowHandlers &handlers, QTabWidget *pages);

    // Config1, Config2, CAL1, CAL2 slot widgets in that order.
    std::array<QLabel *, 4> SlotLabels() const { return {Label6, Label8, Label2, Label4}; }
    std::array<QLineEdit *, 4> SlotAddresses() const { return {Edit4, Edit5, Edit1, Edit2}; }
    std::array<QLineEdit *, 4> SlotValues() const { return {MaskEdit3, MaskEdit4, MaskEdit1, MaskEdit2}; }
    // Config1 .. Config7 value fields of the PIC18 family.
    std::array<QLineEdit *, 7> Config18Values() const
    {
        return {MaskEdit3, MaskEdit4, MaskEdit5, MaskEdit6, MaskEdit7, MaskEdit8, MaskEdit9};
    }
    std::array<QLineEdit *, 7> Config18Addresses() const
    {
        return {Edit4, Edit5, Edit7, Edit8, Edit9, Edit10, Edit11};
    }
    // All nine value fields, MaskEdit1 .. MaskEdit9.
    std::array<QLineEdit *, 9> ValueFields() const
    {
        return {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4, MaskEdit5,
                MaskEdit6, MaskEdit7, MaskEdit8, MaskEdit9};
    }
    // A slot's state: 0 disabled, 1 read-only, 2 writable.
    void ApplySlotState(int slot, int state);

    QWidget *TabSheet3;
    QLabel *Label5; // the dump's header
    QPlainTextEdit *Memo3;
    QLabel *Label6, *Label8, *Label2, *Label4, *Label12, *Label13, *Label14, *Label15, *Label16;
    QLineEdit *Edit1, *Edit2, *Edit4, *Edit5, *Edit7, *Edit8, *Edit9, *Edit10, *Edit11;
    QLineEdit *MaskEdit1, *MaskEdit2, *MaskEdit3, *MaskEdit4, *MaskEdit5, *MaskEdit6, *MaskEdit7, *MaskEdit8,
        *MaskEdit9;
    QCheckBox *CheckBox1, *CheckBox2;
    QPushButton *Button18;
    QLabel *Label9, *Label10;                // the change options' warnings
    QPushButton *ConfigBitsButton = nullptr; // the configuration bits by name
    // The value fields' own hint, before any decoded settings.
    QString ValueHint;

private:
    void CreateDump();
    void CreateSlots(QWidget &form);
    void CreateOptions(QWidget &form);
    void CreateConfigBitsButton(QWidget &form);
    WindowHandlers &handlers_;
};
