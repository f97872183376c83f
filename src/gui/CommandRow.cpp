#include "CommandRow.h"

#include <QMenu>
#include <QPushButton>

#include "Controls.h"
#include "Fonts.h"
#include "WindowHandlers.h"
#include "texts/window_control_texts.h"
#include "texts/window_texts.h"

CommandRow::CommandRow(QWidget &form, WindowHandlers &handlers) : form_(form), handlers_(handlers)
{
    struct ButtonLook {
        QPushButton **button;
        const char *name;
        const char *caption;
        std::string hint;
        int width;
        WindowHandler handler;
    };
    const ButtonLook buttons[] = {
        {&Button1, "Button1", "LOAD", texts::LoadHint(), 44, &WindowHandlers::Button1Click},
        {&Button2, "Button2", "SAVE", texts::SaveHint(), 40, &WindowHandlers::Button2Click},
        {&Button3, "Button3", "READ", texts::ReadHint(), 42, &WindowHandlers::Button3Click},
        {&Button4, "Button4", "PROG.", texts::ProgramHint(), 48, &WindowHandlers::Button4Click},
        {&Button5, "Button5", "ERASE", texts::EraseHint(), 48, &WindowHandlers::Button5Click},
        {&Button6, "Button6", "BLANK?", texts::BlankCheckHint(), 56, &WindowHandlers::Button6Click},
        {&Button7, "Button7", "VERIFY", texts::VerifyHint(), 52, &WindowHandlers::Button7Click},
        {&Button13, "Button13", "Buffer CLEAR", texts::BufferClearHint(), 86, &WindowHandlers::Button13Click},
    };
    int x = 3;
    for (const ButtonLook &s : buttons) {
        *s.button =
            MakeButton(&form, s.name, s.caption, QString::fromStdString(s.hint), QRect(x, 0, s.width, 25));
        (*s.button)->setEnabled(false);
        Wire(*s.button, &QPushButton::clicked, form, handlers_, s.handler);
        // LOAD, PROG. and ERASE leave room for their "v" on the right.
        const bool withMenu = *s.button == Button1 || *s.button == Button4 || *s.button == Button5;
        x += s.width + (withMenu ? 12 : 0) + 2;
    }
    // The "v" buttons sit at the right edge of LOAD, PROG. and ERASE.
    QFont bold = UiFont();
    bold.setBold(true);
    auto vButton = [&](QPushButton *&b, const char *name, const std::string &hint,
                       WindowHandler handler) {
        b = MakeButton(&form, name, "v", QString::fromStdString(hint), QRect(0, 0, 12, 25));
        b->setFont(bold);
        b->setEnabled(false);
        Wire(b, &QPushButton::clicked, form, handlers_, handler);
    };
    vButton(Button16, "Button16", texts::LoadMenuHint(), &WindowHandlers::Button16Click);
    vButton(Button14, "Button14", texts::ProgramMenuHint(), &WindowHandlers::Button14Click);
    vButton(Button15, "Button15", texts::EraseMenuHint(), &WindowHandlers::Button15Click);
    // Read out as what they open rather than as "v".
    for (auto [main, v] : {std::pair{Button1, Button16}, {Button4, Button14}, {Button5, Button15}})
        v->setAccessibleName(QString::fromStdString(texts::MenuOf(main->text().toStdString())));
    // Tab reaches each "v" right after the button it belongs to.
    for (auto [main, v] : {std::pair{Button1, Button16}, {Button4, Button14}, {Button5, Button15}})
        QWidget::setTabOrder(main, v);
}

void CommandRow::CreateMenus()
{
    PopupMenu1 = new QMenu(&form_);
    PopupMenu1->setObjectName("PopupMenu1");
    AddMenuItem(PopupMenu1, QString(53, ' ') + ">Program >Verify", form_, handlers_, &WindowHandlers::Program1Click);
    AddMenuItem(PopupMenu1, QString(25, ' ') + ">Erase >BlankCheck >Program >Verify", form_, handlers_,
                &WindowHandlers::EraseBlankCheckProgramVerify1Click);
    AddMenuItem(PopupMenu1, ">BufferClear >Load" + QString(28, ' ') + ">Program >Verify", form_, handlers_,
                &WindowHandlers::BufferClearLoadProgramVerify1Click);
    AddMenuItem(PopupMenu1, ">BufferClear >Load >Erase >BlankCheck >Program >Verify", form_, handlers_,
                &WindowHandlers::EraseBlankCheckBufferClearLoadProgramVerify1Click);

    PopupMenu2 = new QMenu(&form_);
    PopupMenu2->setObjectName("PopupMenu2");
    AddMenuItem(PopupMenu2, ">Erase >BlankCheck", form_, handlers_, &WindowHandlers::EraseBlankCheck1Click);

    PopupMenu3 = new QMenu(&form_);
    PopupMenu3->setObjectName("PopupMenu3");
    AddMenuItem(PopupMenu3, ">BufferClear >LoadNewFile", form_, handlers_, &WindowHandlers::BufferClearLoadNewFile1Click);
    AddMenuItem(PopupMenu3, ">BufferClear >LoadCurrentFile", form_, handlers_,
                &WindowHandlers::BufferClearLoadCurrentFile1Click);
}

void CommandRow::Layout(int rowTop)
{
    for (QPushButton *b : {Button1, Button2, Button3, Button4, Button5, Button6, Button7, Button13})
        b->move(b->x(), rowTop);
    auto atRightEdge = [](QPushButton *v, QPushButton *main) {
        v->move(main->x() + main->width(), main->y());
        v->raise();
    };
    atRightEdge(Button16, Button1);
    atRightEdge(Button14, Button4);
    atRightEdge(Button15, Button5);
}

void CommandRow::PopupUnder(QPushButton *vButton, QPushButton *mainButton, QMenu *menu)
{
    // The "v" keeps the focus while its menu is open: disabling it, even for
    // a moment, would hand the focus to the next command button, which an
    // Enter after Esc would then run.
    vButton->setDown(false);
    menu->popup(mainButton->mapToGlobal(QPoint(0, mainButton->height())));
}
