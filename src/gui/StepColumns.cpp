#include "StepColumns.h"

#include <QFontMetrics>
#include <QStyleOptionMenuItem>

namespace {

// Narrower than a blank; closes what is left of the gap after the blanks.
const QChar HairSpace(0x200A);

} // namespace

StepColumnStyle::StepColumnStyle(const QString &reference, QObject *parent) : reference_(reference)
{
    setParent(parent);
}

QString StepColumnStyle::Drawn(const QString &caption, const QFontMetrics &metrics) const
{
    QString drawn;
    qsizetype searchFrom = 0;
    for (const QString &step : caption.split(' ', Qt::SkipEmptyParts)) {
        // The step's column: where the reference names it, after the steps
        // already placed.
        qsizetype at = searchFrom;
        while ((at = reference_.indexOf(step, at)) >= 0 &&
               ((at > 0 && reference_[at - 1] != ' ') ||
                (at + step.size() < reference_.size() && reference_[at + step.size()] != ' ')))
            ++at;
        if (at < 0) {
            // Not a step of the reference: it simply follows.
            if (!drawn.isEmpty()) drawn += ' ';
            drawn += step;
            continue;
        }
        searchFrom = at + step.size();
        const int column = metrics.horizontalAdvance(reference_.left(at));
        // Blanks up to the column, one more when that lands nearer; then
        // hair spaces for what a blank is too wide for.
        while (metrics.horizontalAdvance(drawn + ' ') <= column)
            drawn += ' ';
        if (metrics.horizontalAdvance(drawn + ' ') - column < column - metrics.horizontalAdvance(drawn))
            drawn += ' ';
        for (int width = metrics.horizontalAdvance(drawn);;) {
            const int wider = metrics.horizontalAdvance(drawn + HairSpace);
            if (wider > column || wider <= width) break;
            drawn += HairSpace;
            width = wider;
        }
        // Steps stay apart by a blank even where the font would join them.
        if (!drawn.isEmpty() && drawn.back() != ' ' && drawn.back() != HairSpace) drawn += ' ';
        drawn += step;
    }
    return drawn;
}

void StepColumnStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const
{
    if (element == CE_MenuItem) {
        if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
            QStyleOptionMenuItem shown(*item);
            shown.text = Drawn(item->text, QFontMetrics(item->font));
            QProxyStyle::drawControl(element, &shown, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
