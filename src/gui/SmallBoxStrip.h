// The Small Box strip: the "Programmer" button that stands alone on the
// strip and the menu of commands it opens.
#pragma once

class QMenu;
class QToolButton;
class TForm1;

class SmallBoxStrip {
public:
    explicit SmallBoxStrip(TForm1 &form);
    // The button, made after the rest of the window.
    void CreateButton();

    QMenu *PopupMenu4;
    QToolButton *SpeedButton1 = nullptr;

private:
    TForm1 &form_;
};
