#include "Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include "Colours.h"
#include "texts/window_texts.h"

namespace {

const char *const RoleProperty = "tarnvikAccessibleRole";
const char *const EmptyNameProperty = "tarnvikEmptyName";
const char *const CaptionProperty = "tarnvikCaption";

// A widget reported with another role than Qt gives its class.
class TRoleAccessible : public QAccessibleWidget {
public:
    TRoleAccessible(QWidget *widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}
};

// A status text: named by what it shows, which also reads as its text.
class TStatusAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    TStatusAccessible(QWidget *widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString Shown() const
    {
        if (auto *field = qobject_cast<QLineEdit *>(widget())) return field->text();
        if (auto *label = qobject_cast<QLabel *>(widget())) return label->text();
        return {};
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            const QString shown = Shown();
            return shown.isEmpty() ? widget()->property(EmptyNameProperty).toString() : shown;
        }
        if (t == QAccessible::Value) return Shown();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    // Read-only text without a caret or selection of its own.
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return Shown().mid(start, end - start); }
    int characterCount() const override { return int(Shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }
};

// A drop-down: "caption: choice" as its name, the choice as its value, the
// list it opens as its one child.
class TDropDownAccessible : public QAccessibleWidget {
public:
    explicit TDropDownAccessible(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *Box() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString caption = widget()->property(CaptionProperty).toString();
            const QString choice = Box()->currentText();
            return choice.isEmpty() ? caption : caption + QStringLiteral(": ") + choice;
        }
        if (t == QAccessible::Value) return Box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Box()->view()->isVisible();
        return s;
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == Box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            Box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *Factory(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    const QVariant role = widget->property(RoleProperty);
    if (!widget->property(CaptionProperty).isNull())
        if (auto *box = qobject_cast<QComboBox *>(widget)) return new TDropDownAccessible(box);
    if (role.isNull()) return nullptr;
    const auto r = QAccessible::Role(role.toInt());
    if (!widget->property(EmptyNameProperty).isNull()) return new TStatusAccessible(widget, r);
    return new TRoleAccessible(widget, r);
}

void Send(QWidget *widget, QAccessible::Event type)
{
    QAccessibleEvent event(widget, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

void InstallAccessibleFactory()
{
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}

void MarkAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    InstallAccessibleFactory();
    widget->setProperty(RoleProperty, int(role));
}

void MarkStatusText(QWidget *widget, const QString &emptyName, QAccessible::Role role)
{
    InstallAccessibleFactory();
    widget->setProperty(RoleProperty, int(role));
    widget->setProperty(EmptyNameProperty, emptyName);
}

void AnnounceStatus(QWidget *widget)
{
    // The name is the text shown: a screen reader that follows the status
    // bar hears the new text.
    Send(widget, QAccessible::NameChanged);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (QAccessible::isActive())
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget)) {
            QAccessibleAnnouncementEvent spoken(widget, iface->text(QAccessible::Value));
            QAccessible::updateAccessibility(&spoken);
        }
#endif
}

void NameDropDown(QComboBox *box, const QString &caption)
{
    InstallAccessibleFactory();
    box->setProperty(CaptionProperty, caption);
    // The choice changing is told by the drop-down itself, as a change of
    // its value.
    box->view()->setAccessibleName(QString::fromStdString(texts::ListOf(caption.toStdString())));
}

TFocusRingStyle::TFocusRingStyle(QStyle *base) : QProxyStyle(base) {}

QColor TFocusRingStyle::RingColour(const QPalette &palette)
{
    return ReadableOn(palette.color(QPalette::Active, QPalette::Highlight), palette.color(QPalette::Window));
}

void TFocusRingStyle::Ring(const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    if (!(option->state & State_HasFocus) || !widget || !widget->hasFocus()) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(RingColour(option->palette), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
    painter->restore();
}

void TFocusRingStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton || element == CE_CheckBox || element == CE_RadioButton)
        Ring(option, painter, widget);
}

void TFocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_PanelLineEdit && qobject_cast<const QLineEdit *>(widget)) Ring(option, painter, widget);
}

void TFocusRingStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                         QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ComboBox || control == CC_ToolButton) Ring(option, painter, widget);
}

void HoldFocusRing(QWidget *root)
{
    // The style in use, whatever the desktop chose, wrapped once per window.
    QStyle *base = QStyleFactory::create(QApplication::style()->name());
    auto *ring = new TFocusRingStyle(base);
    ring->setParent(root);
    for (QWidget *w : root->findChildren<QWidget *>())
        if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w))
            w->setStyle(ring);
}
