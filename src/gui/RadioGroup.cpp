#include "RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <algorithm>

TRadioGroup::TRadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this))
{
    // Captions close to their circles, so that two items fit the designed
    // width in fonts wider than the designed one.
    setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
    for (int i = 0; i < items.size(); ++i)
        group_->addButton(new QRadioButton(items[i], this), i);
    connect(group_, &QButtonGroup::idClicked, this, [this](int) { emit Click(); });
}

// The items stand in one row, each as wide as its caption needs in the font
// in use, the space left over shared out between them.
void TRadioGroup::resizeEvent(QResizeEvent *event)
{
    QGroupBox::resizeEvent(event);
    const QList<QAbstractButton *> items = group_->buttons();
    const int margin = 5;
    int needed = 0;
    for (QAbstractButton *b : items)
        needed += b->sizeHint().width();
    const int gap =
        items.size() > 1 ? std::max(2, int((width() - 2 * margin - needed) / (items.size() - 1))) : 0;
    int x = margin;
    for (QAbstractButton *b : items) {
        b->setGeometry(x, 16, b->sizeHint().width(), 16);
        x += b->width() + gap;
    }
}

int TRadioGroup::ItemIndex() const
{
    return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (auto *button = group_->button(index)) button->setChecked(true);
}

QRadioButton *TRadioGroup::Item(int index) const
{
    return static_cast<QRadioButton *>(group_->button(index));
}
