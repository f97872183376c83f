// Building blocks of the main window's panels: controls made the way the
// window draws them, each under its component name (objectName).
#pragma once

#include <QRect>
#include <QString>

#include "WindowHandlers.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class QLineEdit;

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry);
QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry);
QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect geometry);
// A read-only dump view in the fixed-pitch font.
QPlainTextEdit *MakeDump(QWidget *parent, const char *name);
// A menu item that runs one of the window's handlers.
QAction *AddMenuItem(QMenu *menu, const QString &caption, QObject &form, WindowHandlers &handlers,
                     WindowHandler handler);
// The read-only look of a value field (writable false) or the usual one.
void SetWritable(QLineEdit *field, bool writable);
