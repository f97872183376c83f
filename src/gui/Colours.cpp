#include "Colours.h"

#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

double Channel(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &c)
{
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &designed, const QColor &background)
{
    if (ContrastRatio(designed, background) >= MinimumContrast) return designed;
    // Towards whichever end of the scale is further from the background.
    const bool darker = ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background);
    const QColor hsl = designed.toHsl();
    const float hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
    float lightness = hsl.lightnessF();
    QColor colour = designed;
    for (int step = 0; step < 100 && ContrastRatio(colour, background) < MinimumContrast; ++step) {
        lightness = std::clamp(lightness + (darker ? -0.01f : 0.01f), 0.0f, 1.0f);
        colour = QColor::fromHslF(hue, saturation, lightness).toRgb();
    }
    return colour;
}

void SetTextColour(QWidget *widget, const QColor &designed)
{
    // A fresh palette sets only the roles named here; everything else, the
    // disabled grey included, follows the palette in use.
    QPalette own;
    own.setResolveMask(0);
    if (designed.isValid()) {
        const QWidget *under = widget->parentWidget() ? widget->parentWidget() : widget;
        const QColor colour = ReadableOn(designed, under->palette().color(QPalette::Window));
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
                own.setColor(group, role, colour);
    }
    widget->setPalette(own);
}

QColor DisabledGrey(const QPalette &palette)
{
    constexpr double Visible = 2.0; // seen, and seen to be out of use
    const QColor back = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    QColor grey = palette.color(QPalette::Disabled, QPalette::WindowText);
    for (int step = 1; step <= 10 && ContrastRatio(grey, back) < Visible; ++step) {
        const double t = 0.3 + 0.05 * step; // share of the text colour
        grey = QColor::fromRgbF(float(back.redF() + t * (text.redF() - back.redF())),
                                float(back.greenF() + t * (text.greenF() - back.greenF())),
                                float(back.blueF() + t * (text.blueF() - back.blueF())));
    }
    return grey;
}
