#include "SmallBoxStrip.h"

#include <QMenu>
#include <QToolButton>

#include "Controls.h"
#include "Fonts.h"
#include "WindowHandlers.h"

SmallBoxStrip::SmallBoxStrip(QWidget &form, WindowHandlers &handlers) : form_(form), handlers_(handlers)
{
    PopupMenu4 = new QMenu(&form);
    PopupMenu4->setObjectName("PopupMenu4");
    AddMenuItem(PopupMenu4, "Reset Current &File", form, handlers_, &WindowHandlers::ResetCurrentFile1Click);
    QMenu *load = PopupMenu4->addMenu("&Load");
    AddMenuItem(load, "Load &New File", form, handlers_, &WindowHandlers::LoadNewFile1Click);
    AddMenuItem(load, "Load &Current File", form, handlers_, &WindowHandlers::LoadCurrentFile1Click);
    AddMenuItem(PopupMenu4, "&Save", form, handlers_, &WindowHandlers::Save1Click);
    AddMenuItem(PopupMenu4, "&Read", form, handlers_, &WindowHandlers::Read1Click);
    QMenu *program = PopupMenu4->addMenu("&Program");
    AddMenuItem(program, "&Program", form, handlers_, &WindowHandlers::Program3Click);
    AddMenuItem(program, "Program &Current File", form, handlers_, &WindowHandlers::LoadEraseprogramVerify1Click);
    AddMenuItem(PopupMenu4, "&Erase", form, handlers_, &WindowHandlers::Erase1Click);
    AddMenuItem(PopupMenu4, "&Blank Check", form, handlers_, &WindowHandlers::BlankCheck1Click);
    AddMenuItem(PopupMenu4, "&Verify", form, handlers_, &WindowHandlers::Verify1Click);
    AddMenuItem(PopupMenu4, "Re&turn to Settings...", form, handlers_, &WindowHandlers::ReturntoSettings1Click);
}

void SmallBoxStrip::CreateButton()
{
    SpeedButton1 = new QToolButton(&form_);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setText("&Programmer");
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(1, 1, 66, 16);
    SpeedButton1->hide();
    Wire(SpeedButton1, &QToolButton::clicked, form_, handlers_, &WindowHandlers::SpeedButton1Click);
}
