#include "Controls.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "Fonts.h"

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setGeometry(geometry);
    return b;
}

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setToolTip(hint);
    c->setGeometry(geometry);
    return c;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QPlainTextEdit *MakeDump(QWidget *parent, const char *name)
{
    auto *m = new QPlainTextEdit(parent);
    m->setObjectName(name);
    m->setReadOnly(true);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setFont(FixedFont());
    m->setUndoRedoEnabled(false);
    m->document()->setDocumentMargin(2);
    // The caret moves with the arrow and page keys, so a screen reader
    // reads the dump line by line; the frame says when it has the focus.
    m->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m->setStyleSheet(QStringLiteral("QPlainTextEdit:focus { border: 2px solid palette(highlight); }"));
    return m;
}

QAction *AddMenuItem(QMenu *menu, const QString &caption, QObject &form, WindowHandlers &handlers,
                     WindowHandler handler)
{
    QAction *a = menu->addAction(caption);
    Wire(a, &QAction::triggered, form, handlers, handler);
    return a;
}

// A field the user may not type into has the button colour of the palette
// in use behind the matching text colour; a disabled one keeps the palette's
// disabled look.
void SetWritable(QLineEdit *field, bool writable)
{
    field->setReadOnly(!writable);
    QPalette own;
    own.setResolveMask(0);
    if (!writable) {
        const QPalette &in = field->window()->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            // Where a scheme's button colour is close to its field colour
            // the window colour shows the difference instead.
            const bool likeField =
                std::abs(in.color(group, QPalette::Button).lightness() - in.color(group, QPalette::Base).lightness()) <
                24;
            own.setColor(group, QPalette::Base, in.color(group, likeField ? QPalette::Window : QPalette::Button));
            own.setColor(group, QPalette::Text,
                         in.color(group, likeField ? QPalette::WindowText : QPalette::ButtonText));
        }
    }
    field->setPalette(own);
}
