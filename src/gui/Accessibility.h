// What a screen reader and a keyboard user get beyond what Qt gives each
// control by itself: the windows reported as windows, the status texts as
// their window's status bar and announced when they change, drop-downs named
// by what they choose, and a focus ring that stands out on any palette.
#pragma once

#include <QAccessible>
#include <QProxyStyle>
#include <QString>

class QComboBox;
class QWidget;

// Makes the kinds of accessible objects below known to Qt; once per process,
// before the first window is built.
void InstallAccessibleFactory();

// A top-level widget that Qt would report as a mere filler is reported with
// role (a window, a dialog). Call before the widget's first caption.
void MarkAccessibleRole(QWidget *widget, QAccessible::Role role);

// A one-line text (a QLineEdit or a QLabel) that shows what the program has
// just done: reported with role (the status bar of its window) and named by
// the text shown, or by emptyName while it shows none. Call right after
// creating the widget, before it gets a text.
void MarkStatusText(QWidget *widget, const QString &emptyName,
                    QAccessible::Role role = QAccessible::StatusBar);

// Tells screen readers that the status text widget shows now.
void AnnounceStatus(QWidget *widget);

// A drop-down named by what it chooses followed by the choice it shows
// ("FOSC: HS"), instead of the choice alone. Call right after creating it.
void NameDropDown(QComboBox *box, const QString &caption);

// Draws a ring two pixels wide in the palette's highlight (made to stand out
// from the window colour) round the focused button, check box, radio button,
// field or drop-down, over what the style it wraps draws.
class TFocusRingStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit TFocusRingStyle(QStyle *base);
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

    // The ring's colour on that palette.
    static QColor RingColour(const QPalette &palette);

private:
    void Ring(const QStyleOption *option, QPainter *painter, const QWidget *widget) const;
};

// Gives every button, check box, radio button, field and drop-down below root
// the focus ring, the style otherwise the one in use.
void HoldFocusRing(QWidget *root);
