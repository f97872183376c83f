#include "ConfigPanel.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "Colours.h"
#include "Controls.h"
#include "Fonts.h"
#include "WindowHandlers.h"
#include "image/dump.h"
#include "texts/window_control_texts.h"
#include "texts/window_texts.h"

namespace {
// Keeps a control added to a designed page hidden wherever it would leave the
// page or cover one of the page's own controls, so the design stays as drawn.
class FitWatcher : public QObject {
public:
    FitWatcher(QWidget *control) : QObject(control), control_(control)
    {
        control->parentWidget()->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) Check();
        return false;
    }
    void Check()
    {
        QWidget *page = control_->parentWidget();
        bool fits = page->rect().contains(control_->geometry());
        for (QWidget *other : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (other != control_ && !other->isHidden() && other->geometry().intersects(control_->geometry()))
                fits = false;
        control_->setVisible(fits);
    }

private:
    QWidget *control_;
};
QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace

ConfigPanel::ConfigPanel(QWidget &form, WindowHandlers &handlers, QTabWidget *pages) : handlers_(handlers)
{
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    CreateDump();
    CreateSlots(form);
    CreateOptions(form);
    CreateConfigBitsButton(form);
    pages->addTab(TabSheet3, "Configuration Memory");
}

void ConfigPanel::CreateDump()
{
    Label5 =
        MakeLabel(TabSheet3, "Label5", "ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----",
                  QRect(4, 1, 450, 14));
    Label5->setFont(FixedFont());
    Memo3 = MakeDump(TabSheet3, "Memo3");
    Memo3->setAccessibleName("Configuration Memory");
    Label5->setBuddy(Memo3);
    Memo3->setGeometry(2, 16, 452, 38);
    Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo3->setPlainText(QString::fromStdString(InitialConfigDumpText()));
}

void ConfigPanel::CreateSlots(QWidget &form)
{
    const QString valueHint = Q(texts::ConfigValueHint());
    struct Slot {
        QLabel **label;
        const char *labelName;
        const char *caption;
        QLineEdit **address;
        const char *addressName;
        QLineEdit **value;
        const char *valueName;
        const char *initial;
        int column, row;
    };
    const Slot fields[] = {
        {&Label6, "Label6", "Config1", &Edit4, "Edit4", &MaskEdit3, "MaskEdit3", "3FFF", 0, 0},
        {&Label8, "Label8", "Config2", &Edit5, "Edit5", &MaskEdit4, "MaskEdit4", "3FFF", 0, 1},
        {&Label2, "Label2", "CAL1", &Edit1, "Edit1", &MaskEdit1, "MaskEdit1", "0000", 0, 2},
        {&Label4, "Label4", "CAL2", &Edit2, "Edit2", &MaskEdit2, "MaskEdit2", "0000", 0, 3},
        {&Label12, "Label12", "Config3", &Edit7, "Edit7", &MaskEdit5, "MaskEdit5", "3FFF", 1, 0},
        {&Label13, "Label13", "Config4", &Edit8, "Edit8", &MaskEdit6, "MaskEdit6", "3FFF", 1, 1},
        {&Label14, "Label14", "Config5", &Edit9, "Edit9", &MaskEdit7, "MaskEdit7", "3FFF", 1, 2},
        {&Label15, "Label15", "Config6", &Edit10, "Edit10", &MaskEdit8, "MaskEdit8", "3FFF", 1, 3},
        {&Label16, "Label16", "Config7", &Edit11, "Edit11", &MaskEdit9, "MaskEdit9", "3FFF", 1, 4},
    };
    for (const Slot &s : fields) {
        const int x = 4 + s.column * 130, y = 56 + s.row * 19;
        *s.label = MakeLabel(TabSheet3, s.labelName, s.caption, QRect(x, y, 48, 18));
        auto *address = new QLineEdit("0000:", TabSheet3);
        address->setObjectName(s.addressName);
        address->setReadOnly(true);
        address->setFont(FixedFont());
        address->setGeometry(x + 48, y, 40, 18);
        *s.address = address;
        auto *value = new QLineEdit(TabSheet3);
        value->setObjectName(s.valueName);
        value->setInputMask(">HHHH;_");
        value->setText(s.initial);
        value->setFont(FixedFont());
        value->setToolTip(valueHint);
        value->setContextMenuPolicy(Qt::NoContextMenu);
        value->setAcceptDrops(false);
        value->setGeometry(x + 90, y, 38, 18);
        value->installEventFilter(&form);
        *s.value = value;
        // Read out as the slot they belong to, not as a bare text.
        (*s.label)->setBuddy(value);
        value->setAccessibleName(s.caption);
        address->setAccessibleName(Q(texts::AddressOf(s.caption)));
    }
}

void ConfigPanel::CreateOptions(QWidget &form)
{
    CheckBox1 = MakeCheckBox(TabSheet3, "CheckBox1", Q(texts::ChangeConfigCaption()),
                             Q(texts::ChangeConfigHint()), QRect(264, 55, 194, 20));
    CheckBox1->setEnabled(false);
    // Under the Config1/Config2 values it stores.
    Button18 = MakeButton(TabSheet3, "Button18", "Set", Q(texts::SetConfigHint()), QRect(52, 133, 78, 22));
    Button18->setEnabled(false);
    Label9 = MakeLabel(TabSheet3, "Label9", Q(texts::ChangeConfigWarning()), QRect(268, 76, 190, 18));
    CheckBox2 = MakeCheckBox(TabSheet3, "CheckBox2", Q(texts::ChangeCalibCaption()),
                             Q(texts::ChangeCalibHint()), QRect(264, 96, 194, 20));
    CheckBox2->setEnabled(false);
    Label10 = MakeLabel(TabSheet3, "Label10", Q(texts::ChangeCalibWarning()), QRect(264, 117, 194, 18));
    for (QLabel *warning : {Label9, Label10}) {
        // Red while enabled; a disabled label keeps the usual grey.
        SetTextColour(warning, Qt::red);
        warning->setEnabled(false);
    }
    Wire(CheckBox1, &QCheckBox::toggled, form, handlers_, &WindowHandlers::CheckBox1Click);
    Wire(CheckBox2, &QCheckBox::toggled, form, handlers_, &WindowHandlers::CheckBox2Click);
    Wire(Button18, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button18Click);
}

void ConfigPanel::CreateConfigBitsButton(QWidget &form)
{
    ValueHint = MaskEdit3->toolTip();
    // In the free corner under the CALIB option, on the row of "Set".
    ConfigBitsButton = new QPushButton(Q(texts::ConfigBitsCaption()), TabSheet3);
    ConfigBitsButton->setObjectName("ConfigBitsButton");
    ConfigBitsButton->setToolTip(Q(texts::ConfigBitsHint()));
    ConfigBitsButton->setGeometry(264, 135, 84, 22);
    ConfigBitsButton->setEnabled(false);
    (new FitWatcher(ConfigBitsButton))->Check();
    Wire(ConfigBitsButton, &QPushButton::clicked, form, handlers_, &WindowHandlers::ConfigBitsButtonClick);
}

void ConfigPanel::ApplySlotState(int slot, int state)
{
    SlotAddresses()[slot]->setEnabled(state > 0);
    QLineEdit *value = SlotValues()[slot];
    value->setEnabled(state > 0);
    SetWritable(value, state == 2);
}
