#include "Controls.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "Unit1.h"

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

QAction *AddMenuItem(QMenu *menu, const QString &caption, TForm1 &form, void (TForm1::*handler)())
{
    QAction *a = menu->addAction(caption);
    QObject::connect(a, &QAction::triggered, &form, handler);
    return a;
}
