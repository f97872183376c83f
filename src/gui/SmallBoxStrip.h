// The Small Box strip: the "Programmer" button that stands alone on the
// strip and the menu of commands it opens.
#pragma once

class QMenu;
class QToolButton;
class QWidget;
class WindowHandlers;

class SmallBoxStrip {
public:
    SmallBoxStrip(QWidget &form, WindowHandlers &handlers);
    // The button, made after the rest of the window.
    void CreateButton();

    QMenu *PopupMenu4;
    QToolButton *SpeedButton1 = nullptr;

private:
    QWidget &form_;
    WindowHandlers &handlers_;
};
