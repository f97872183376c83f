// The window's fonts.
#include "Fonts.h"

#include <QWidget>

#include "texts/window_texts.h"

QFont UiFont()
{
    QFont font;
    font.setFamilies({QString::fromStdString(texts::WindowFontFamily()), QStringLiteral("IPAPGothic")});
    font.setPixelSize(12);
    return font;
}

QFont FixedFont()
{
    QFont font;
    font.setFamilies({QString::fromStdString(texts::FixedFontFamily()), QStringLiteral("IPAGothic")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(12);
    return font;
}

void HoldFonts(QWidget *root)
{
    // Parents come before their children, so each takes its parent's font
    // as already held.
    for (QWidget *w : root->findChildren<QWidget *>())
        if (!w->isWindow() && !w->testAttribute(Qt::WA_SetFont)) w->setFont(w->parentWidget()->font());
}
