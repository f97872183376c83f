// The few texts the window draws in colour: the designed colour where it
// stands out from the background it is drawn on, the same hue made darker or
// lighter where it does not, so a dark desktop palette leaves them readable.
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The Current File name's designed colour.
inline const QColor CurrentFileColour = QColor(128, 0, 0); // maroon

// Contrast ratio of two colours from their relative luminance (1 to 21).
double ContrastRatio(const QColor &a, const QColor &b);

// What a coloured text must reach against its background.
inline constexpr double MinimumContrast = 4.5;

// The designed colour when it reaches MinimumContrast on background;
// otherwise the same hue, darker on a light background and lighter on a
// dark one, as far as it takes.
QColor ReadableOn(const QColor &designed, const QColor &background);

// Gives the widget's text the designed colour made readable on the
// background it stands on (its parent's window colour). Only the enabled
// states are coloured: a disabled widget keeps the palette's grey. An
// invalid colour gives the text back the palette's own colour.
void SetTextColour(QWidget *widget, const QColor &designed);

// The palette's disabled text colour where it can still be made out on the
// background; otherwise a grey between the background and the text that
// can (some schemes draw disabled text almost in the background colour).
QColor DisabledGrey(const QPalette &palette);
