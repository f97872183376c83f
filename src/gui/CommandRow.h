// The command row: LOAD, SAVE, READ, PROG., ERASE, BLANK?, VERIFY and Buffer
// CLEAR, the "v" buttons beside LOAD, PROG. and ERASE and the chain menus
// they open.
#pragma once

class QMenu;
class QPushButton;
class QWidget;
class WindowHandlers;

class CommandRow {
public:
    CommandRow(QWidget &form, WindowHandlers &handlers);
    // The menus of the "v" buttons: programming, erase, file load.
    void CreateMenus();
    // The buttons keep their distance from the bottom edge.
    void Layout(int rowTop);
    // Opens a "v" button's menu under the command button it belongs to.
    static void PopupUnder(QPushButton *vButton, QPushButton *mainButton, QMenu *menu);

    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button13;
    QPushButton *Button14, *Button15, *Button16; // the "v" of PROG., ERASE and LOAD
    QMenu *PopupMenu1 = nullptr, *PopupMenu2 = nullptr, *PopupMenu3 = nullptr;

private:
    QWidget &form_;
    WindowHandlers &handlers_;
};
