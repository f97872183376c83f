#include "DevicePanel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "Accessibility.h"
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

DevicePanel::DevicePanel(QWidget &form, WindowHandlers &handlers) : form_(form), handlers_(handlers)
{
    GroupBox1 = new QGroupBox("DEVICE", &form);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(4, 0, 196, 44);
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName("ComboBox1");
    NameDropDown(ComboBox1, "DEVICE");
    ComboBox1->setEditable(false);
    // A list of 23 rows under the field; some styles would otherwise open a
    // popup over the whole screen and ignore the row count.
    ComboBox1->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    ComboBox1->setMaxVisibleItems(23);
    ComboBox1->setGeometry(6, 16, 116, 22);
    ComboBox1->setToolTip(Q(texts::DeviceListHint()));
    Wire(ComboBox1, &QComboBox::activated, form, handlers_, &WindowHandlers::ComboBox1Change);
    ComboBox1->installEventFilter(&form);

    StaticText1 = MakeLabel(GroupBox1, "StaticText1", "No ID!", QRect(126, 17, 64, 20));
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont bold = UiFont();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setToolTip(Q(texts::NoIdHint()));
    SetNoIdColour(false);

    GroupBox2 = new QGroupBox("Current File", &form);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(204, 0, 208, 44);
    StaticText2 = MakeLabel(GroupBox2, "StaticText2", "", QRect(6, 18, 150, 18));
    MarkStatusText(StaticText2, "Current File", QAccessible::StaticText);
    StaticText2->setFont(bold);
    SetTextColour(StaticText2, CurrentFileColour);
    StaticText2->setToolTip(Q(texts::CurrentFileHint()));
    Button19 = MakeButton(GroupBox2, "Button19", "Reset", Q(texts::ResetFileHint()), QRect(160, 15, 44, 24));
    Wire(Button19, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button19Click);

    Button8 = MakeButton(&form, "Button8", "END", Q(texts::EndHint()), QRect(416, 8, 52, 34));
    Wire(Button8, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button8Click);
}

void DevicePanel::CreateMenu()
{
    // The device list's context menu picks the part from the DEVICE-ID of the
    // chip in the socket.
    PopupMenu5 = new QMenu(&form_);
    PopupMenu5->setObjectName("PopupMenu5");
    AddMenuItem(PopupMenu5, Q(texts::PickDeviceFromIdCaption()), form_, handlers_, &WindowHandlers::PickDevice1Click)
        ->setObjectName("PickDevice1");
    ComboBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(ComboBox1, &QWidget::customContextMenuRequested, &form_,
                     [this](const QPoint &at) { PopupMenu5->popup(ComboBox1->mapToGlobal(at)); });
}

bool DevicePanel::ListEvent(QEvent *event)
{
    // Choosing a part clears the buffer, so the closed list changes it only
    // when the user confirms one in the open list: a wheel turned over it
    // or a key that would step through it picks nothing.
    if (event->type() == QEvent::Wheel) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // The list opens at the selected part; Enter there confirms.
        ComboBox1->showPopup();
        return true;
    case Qt::Key_F10:
        // Shift+F10 opens the list's own menu as the Menu key does.
        if (key->modifiers() != Qt::ShiftModifier) return false;
        {
            const QPoint at = ComboBox1->rect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, ComboBox1->mapToGlobal(at));
            QApplication::sendEvent(ComboBox1, &menu);
        }
        return true;
    default:
        break;
    }
    // Typing a name looks it up in the open list instead.
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || text == QStringLiteral(" ") ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    ComboBox1->showPopup();
    ComboBox1->view()->keyboardSearch(text);
    return true;
}

void DevicePanel::SetNoIdColour(bool red)
{
    noIdRed_ = red;
    if (red) {
        SetTextColour(StaticText1, Qt::red);
        return;
    }
    // Silver as designed on a light palette: the palette's own grey for
    // what does not apply, on any palette.
    QPalette own;
    own.setResolveMask(0);
    const QColor grey = form_.palette().color(QPalette::Disabled, QPalette::WindowText);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        own.setColor(group, QPalette::WindowText, grey);
    StaticText1->setPalette(own);
}
