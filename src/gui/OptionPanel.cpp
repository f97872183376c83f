#include "OptionPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "Colours.h"
#include "Controls.h"
#include "Fonts.h"
#include "WindowHandlers.h"
#include "texts/window_control_texts.h"

namespace {
QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace

OptionPanel::OptionPanel(QWidget &form, WindowHandlers &handlers, QTabWidget *pages) : handlers_(handlers)
{
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    CreatePorts(form);
    CreateModemLines(form);
    CreateOptions(form);
    // Down the left column and then the right one: "COM Port is fixed"
    // stands last in the right column.
    QWidget::setTabOrder(CheckBox5, CheckBox4);
    pages->addTab(TabSheet4, "Option");
}

void OptionPanel::CreatePorts(QWidget &form)
{
    GroupBox3 = new QGroupBox("Port No.", TabSheet4);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setToolTip(Q(texts::PortColoursHint()));
    GroupBox3->setGeometry(4, 0, 264, 82);
    PortButtons = new QButtonGroup(&form);
    for (int i = 0; i < 10; ++i) {
        auto *r = new QRadioButton(QString("COM%1").arg(i + 1), GroupBox3);
        r->setObjectName(QString("RadioButton%1").arg(i + 1));
        r->setGeometry(6 + (i % 4) * 62, 16 + (i / 4) * 21, i == 9 ? 72 : 62, 18);
        PortButtons->addButton(r, i + 1);
        RadioButton[i] = r;
    }

    Button10 = MakeButton(TabSheet4, "Button10", "Open", Q(texts::OpenPortHint()), QRect(4, 86, 50, 23));
    Button11 = MakeButton(TabSheet4, "Button11", "Close", Q(texts::ClosePortHint()), QRect(56, 86, 50, 23));
    Button20 =
        MakeButton(TabSheet4, "Button20", "Search", Q(texts::SearchPortsHint()), QRect(108, 86, 56, 23));
    Button12 = MakeButton(TabSheet4, "Button12", "Version", Q(texts::VersionHint()), QRect(166, 86, 60, 23));
    CheckBox4 = MakeCheckBox(TabSheet4, "CheckBox4", "COM Port is fixed", Q(texts::FixPortHint()),
                             QRect(274, 102, 150, 20));
    Wire(Button10, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button10Click);
    Wire(Button11, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button11Click);
    Wire(Button20, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button20Click);
    Wire(CheckBox4, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox4Click);
}

void OptionPanel::CreateModemLines(QWidget &form)
{
    CheckBox7 =
        MakeCheckBox(TabSheet4, "CheckBox7", "CTRL", Q(texts::ModemLinesHint()), QRect(4, 126, 58, 20));
    Wire(CheckBox7, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox7Click);
    RadioGroup2 = new TRadioGroup("RTS", {"OFF", "ON"}, TabSheet4);
    RadioGroup2->setObjectName("RadioGroup2");
    RadioGroup2->setToolTip(Q(texts::RtsHint()));
    RadioGroup2->setGeometry(62, 112, 98, 38);
    RadioGroup2->SetItemIndex(1);
    RadioGroup2->setEnabled(false);
    RadioGroup3 = new TRadioGroup("DTR", {"OFF", "ON"}, TabSheet4);
    RadioGroup3->setObjectName("RadioGroup3");
    RadioGroup3->setToolTip(Q(texts::DtrHint()));
    RadioGroup3->setGeometry(162, 112, 98, 38);
    RadioGroup3->SetItemIndex(0);
    RadioGroup3->setEnabled(false);
    Wire(RadioGroup2, &TRadioGroup::Click, form, handlers_, &WindowHandlers::RadioGroup2Click);
    Wire(RadioGroup3, &TRadioGroup::Click, form, handlers_, &WindowHandlers::RadioGroup3Click);
    Edit6 = new QLineEdit(" 200", TabSheet4);
    Edit6->setObjectName("Edit6");
    Edit6->setToolTip(Q(texts::OpenWaitHint()));
    Edit6->setAlignment(Qt::AlignRight);
    Edit6->setGeometry(264, 126, 34, 20);
    Edit6->setEnabled(false);
    Edit6->installEventFilter(&form);
    Label7 = MakeLabel(TabSheet4, "Label7", "ms", QRect(300, 128, 20, 16));
    Label7->setBuddy(Edit6);
    Edit6->setAccessibleName(Q(texts::OpenWaitName()));
}

void OptionPanel::CreateOptions(QWidget &form)
{
    CheckBox3 = MakeCheckBox(TabSheet4, "CheckBox3", "[VERIFY] User-ID", Q(texts::VerifyUserIdHint()),
                             QRect(274, 2, 170, 18));
    CheckBox9 = MakeCheckBox(TabSheet4, "CheckBox9", "[READ] Small Block", Q(texts::SmallBlockHint()),
                             QRect(274, 20, 170, 18));
    CheckBox8 = MakeCheckBox(TabSheet4, "CheckBox8", "[SAVE] All Memory", Q(texts::SaveAllHint()),
                             QRect(274, 38, 170, 18));
    CheckBox6 = MakeCheckBox(TabSheet4, "CheckBox6", "[DEVICE] Auto Select", Q(texts::AutoSelectHint()),
                             QRect(274, 56, 170, 18));
    Wire(CheckBox3, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox3Click);
    Wire(CheckBox9, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox9Click);
    Wire(CheckBox8, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox8Click);
    Wire(CheckBox6, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox6Click);

    Button17 =
        MakeButton(TabSheet4, "Button17", "Small Box", Q(texts::SmallBoxHint()), QRect(274, 77, 72, 23));
    CheckBox5 =
        MakeCheckBox(TabSheet4, "CheckBox5", "NoBorder", Q(texts::NoBorderHint()), QRect(352, 79, 90, 20));
    Wire(Button12, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button12Click);
    Wire(Button17, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button17Click);
    Wire(CheckBox5, &QCheckBox::clicked, form, handlers_, &WindowHandlers::CheckBox5Click);
}

void OptionPanel::MarkPort(int n)
{
    if (n >= 1 && n <= 10) {
        RadioButton[n - 1]->setChecked(true);
        return;
    }
    PortButtons->setExclusive(false);
    for (QRadioButton *r : RadioButton)
        r->setChecked(false);
    PortButtons->setExclusive(true);
}

int OptionPanel::MarkedPort() const
{
    for (int i = 0; i < 10; ++i)
        if (RadioButton[i]->isChecked()) return i + 1;
    return 0;
}

void OptionPanel::SetPortLook(int n, PortLook look)
{
    if (n < 1 || n > 10) return;
    QRadioButton *button = RadioButton[n - 1];
    // The whole font is the program's: a platform theme's font for radio
    // buttons must not take over the parts not named here.
    QFont font = UiFont();
    QColor colour; // none: the palette's text colour (black), grey when disabled
    switch (look) {
    case PortLook::Probing:
        font.setBold(true);
        colour = QColor(0, 0, 255);
        break;
    case PortLook::Programmer:
        font.setBold(true);
        colour = QColor(255, 127, 0);
        break;
    case PortLook::Unusable:
    case PortLook::NoProgrammer:
        break;
    }
    button->setFont(font);
    SetTextColour(button, colour);
    // "グレー：使用不可": a grey the user can read on any scheme.
    QPalette own = button->palette();
    const QColor grey = DisabledGrey(GroupBox3->palette());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        own.setColor(QPalette::Disabled, role, grey);
    button->setPalette(own);
    button->setEnabled(look != PortLook::Unusable);
    portLooks_[n - 1] = look;
}

void OptionPanel::RefreshPortLooks()
{
    for (int n = 1; n <= 10; ++n)
        if (RadioButton[n - 1]->testAttribute(Qt::WA_SetPalette)) SetPortLook(n, portLooks_[n - 1]);
}
