// Fonts of the window: proportional for the controls, fixed-pitch for the
// dumps and the hexadecimal fields.
#pragma once

#include <QFont>

class QWidget;

QFont UiFont();
QFont FixedFont();
// A platform theme may give each kind of control a font of its own, which
// then wins over the window's font inside a style sheet's reach: every
// control below root without a font of its own gets its parent's, set on
// it, so the program's fonts hold under any theme.
void HoldFonts(QWidget *root);
