// The window's top row: the device list with its No-ID indicator and its own
// menu, the current file with its Reset button, and END.
#pragma once

class QComboBox;
class QEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;
class WindowHandlers;

class DevicePanel {
public:
    DevicePanel(QWidget &form, WindowHandlers &handlers);
    // The device list's menu: the device from the chip's DEVICE-ID.
    void CreateMenu();
    // The device list's wheel and keys while it is closed; true when taken.
    bool ListEvent(QEvent *event);
    // Red for a part whose DEVICE-ID cannot be checked, else the palette's
    // grey for what does not apply.
    void SetNoIdColour(bool red);
    bool NoIdRed() const { return noIdRed_; }

    QGroupBox *GroupBox1, *GroupBox2;
    QComboBox *ComboBox1;
    QLabel *StaticText1, *StaticText2;
    QPushButton *Button19, *Button8;
    QMenu *PopupMenu5 = nullptr;

private:
    QWidget &form_;
    WindowHandlers &handlers_;
    bool noIdRed_ = false;
};
