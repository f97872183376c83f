#include "SmallBoxStrip.h"

#include <QMenu>
#include <QToolButton>

#include "Controls.h"
#include "Unit1.h"

SmallBoxStrip::SmallBoxStrip(TForm1 &form) : form_(form)
{
    PopupMenu4 = new QMenu(&form);
    PopupMenu4->setObjectName("PopupMenu4");
    AddMenuItem(PopupMenu4, "Reset Current &File", form, &TForm1::ResetCurrentFile1Click);
    QMenu *load = PopupMenu4->addMenu("&Load");
    AddMenuItem(load, "Load &New File", form, &TForm1::LoadNewFile1Click);
    AddMenuItem(load, "Load &Current File", form, &TForm1::LoadCurrentFile1Click);
    AddMenuItem(PopupMenu4, "&Save", form, &TForm1::Save1Click);
    AddMenuItem(PopupMenu4, "&Read", form, &TForm1::Read1Click);
    QMenu *program = PopupMenu4->addMenu("&Program");
    AddMenuItem(program, "&Program", form, &TForm1::Program3Click);
    AddMenuItem(program, "Program &Current File", form, &TForm1::LoadEraseprogramVerify1Click);
    AddMenuItem(PopupMenu4, "&Erase", form, &TForm1::Erase1Click);
    AddMenuItem(PopupMenu4, "&Blank Check", form, &TForm1::BlankCheck1Click);
    AddMenuItem(PopupMenu4, "&Verify", form, &TForm1::Verify1Click);
    AddMenuItem(PopupMenu4, "Re&turn to Settings...", form, &TForm1::ReturntoSettings1Click);
}

void SmallBoxStrip::CreateButton()
{
    SpeedButton1 = new QToolButton(&form_);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setText("&Programmer");
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(1, 1, 66, 16);
    SpeedButton1->hide();
    QObject::connect(SpeedButton1, &QToolButton::clicked, &form_, &TForm1::SpeedButton1Click);
}
