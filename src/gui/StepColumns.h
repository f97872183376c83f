// The programming menu's items name the steps of their chains, and each step
// name stands in one column, where the longest chain shows it. The captions
// keep their blanks; where each name is drawn follows the font in use, whose
// blanks may be narrower or wider than those the captions were made for.
#pragma once

#include <QProxyStyle>
#include <QString>

class QFontMetrics;

class StepColumnStyle : public QProxyStyle {
    Q_OBJECT
public:
    // reference: the caption that names every step in its column.
    explicit StepColumnStyle(const QString &reference, QObject *parent = nullptr);

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

    // The caption as drawn: each step name preceded by the blanks that bring
    // it, in this font, to the left edge of its column.
    QString Drawn(const QString &caption, const QFontMetrics &metrics) const;

private:
    QString reference_;
};
