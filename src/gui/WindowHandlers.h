// The main window's handlers, by the names its controls and menu items are
// known by, as the window's parts see them: a part wires its own controls to
// them without knowing the window that implements them.
#pragma once

#include <QObject>

class WindowHandlers {
public:
    virtual ~WindowHandlers() = default;

    // The command row, its "v" menus and the device and log parts.
    virtual void Button1Click() = 0;
    virtual void Button2Click() = 0;
    virtual void Button3Click() = 0;
    virtual void Button4Click() = 0;
    virtual void Button5Click() = 0;
    virtual void Button6Click() = 0;
    virtual void Button7Click() = 0;
    virtual void Button8Click() = 0;
    virtual void Button9Click() = 0;
    virtual void Button13Click() = 0;
    virtual void Button14Click() = 0;
    virtual void Button15Click() = 0;
    virtual void Button16Click() = 0;
    virtual void Button19Click() = 0;
    virtual void ComboBox1Change() = 0;
    virtual void Program1Click() = 0;
    virtual void EraseBlankCheckProgramVerify1Click() = 0;
    virtual void BufferClearLoadProgramVerify1Click() = 0;
    virtual void EraseBlankCheckBufferClearLoadProgramVerify1Click() = 0;
    virtual void EraseBlankCheck1Click() = 0;
    virtual void BufferClearLoadNewFile1Click() = 0;
    virtual void BufferClearLoadCurrentFile1Click() = 0;
    virtual void PickDevice1Click() = 0;

    // The Config tab.
    virtual void CheckBox1Click() = 0;
    virtual void CheckBox2Click() = 0;
    virtual void Button18Click() = 0;
    virtual void ConfigBitsButtonClick() = 0;
    virtual void RefreshConfigHints() = 0;

    // The Option tab.
    virtual void Button10Click() = 0;
    virtual void Button11Click() = 0;
    virtual void Button12Click() = 0;
    virtual void Button17Click() = 0;
    virtual void Button20Click() = 0;
    virtual void CheckBox3Click() = 0;
    virtual void CheckBox4Click() = 0;
    virtual void CheckBox5Click() = 0;
    virtual void CheckBox6Click() = 0;
    virtual void CheckBox7Click() = 0;
    virtual void CheckBox8Click() = 0;
    virtual void CheckBox9Click() = 0;
    virtual void RadioGroup2Click() = 0;
    virtual void RadioGroup3Click() = 0;

    // The Small Box strip and its menu.
    virtual void SpeedButton1Click() = 0;
    virtual void ResetCurrentFile1Click() = 0;
    virtual void LoadNewFile1Click() = 0;
    virtual void LoadCurrentFile1Click() = 0;
    virtual void Save1Click() = 0;
    virtual void Read1Click() = 0;
    virtual void Program3Click() = 0;
    virtual void LoadEraseprogramVerify1Click() = 0;
    virtual void Erase1Click() = 0;
    virtual void BlankCheck1Click() = 0;
    virtual void Verify1Click() = 0;
    virtual void ReturntoSettings1Click() = 0;
};

using WindowHandler = void (WindowHandlers::*)();

// sender's signal runs handler, for as long as the window (context) lives;
// whatever the signal carries is not passed on.
template <class Sender, class Signal>
void Wire(Sender *sender, Signal signal, QObject &context, WindowHandlers &handlers, WindowHandler handler)
{
    QObject::connect(sender, signal, &context, [&handlers, handler] { (handlers.*handler)(); });
}
