#include "ConfigBitsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Accessibility.h"
#include "support/textutil.h"
#include "texts/window_texts.h"

namespace {
QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace

QString TConfigBitsDialog::WordText(const TConfigWord &word, uint16_t value)
{
    const int digits = word.Width > 0xFF ? 4 : 2;
    return Q(word.Name + " (" + Hex(word.DeviceAddress, word.DeviceAddress > 0xFFFF ? 6 : 4) +
             ") = " + Hex(value, digits));
}

TConfigBitsDialog::TConfigBitsDialog(std::shared_ptr<const TConfigLayout> layout, const TConfigValues &values,
                                     const QString &device, QWidget *parent)
    : QDialog(parent), layout_(std::move(layout)), original_(values), values_(values)
{
    setObjectName("ConfigBitsDialog");
    setWindowTitle(Q(texts::ConfigBitsTitle(device.toStdString())));
    values_.resize(layout_->Words.size(), 0xFFFF);
    original_ = values_;

    auto *rows = new QWidget;
    auto *grid = new QGridLayout(rows);
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (size_t w = 0; w < layout_->Words.size(); ++w) {
        const TConfigWord &word = layout_->Words[w];
        auto *line = new QLabel(WordText(word, values_[w]));
        line->setObjectName(Q("Word" + word.Name));
        QFont bold = line->font();
        bold.setBold(true);
        line->setFont(bold);
        grid->addWidget(line, row++, 0, 1, 2);
        wordLines_.push_back(line);
        for (const TConfigField &field : word.Fields) {
            auto *name = new QLabel(Q(field.Name));
            name->setToolTip(Q(texts::BitsOfMask(Hex(field.Mask, word.Width > 0xFF ? 4 : 2))));
            auto *box = new QComboBox;
            box->setObjectName(Q(field.Name));
            // Read out as the field it sets, the setting after it.
            NameDropDown(box, Q(field.Name));
            name->setBuddy(box);
            const TConfigSetting *current = DecodeField(field, values_[w]);
            if (!current) // bits no setting names: offered first, so that OK keeps them
                box->addItem(Q(texts::UnnamedValue(Hex(values_[w] & field.Mask, word.Width > 0xFF ? 4 : 2))),
                             -1);
            for (size_t i = 0; i < field.Settings.size(); ++i) {
                const TConfigSetting &s = field.Settings[i];
                box->addItem(Q(s.Name + (s.Description.empty() ? "" : "  (" + s.Description + ")")), int(i));
                if (&s == current) box->setCurrentIndex(box->count() - 1);
            }
            connect(box, &QComboBox::currentIndexChanged, this,
                    [this, w, f = &field, box] { Choose(w, f, box); });
            grid->addWidget(name, row, 0);
            grid->addWidget(box, row++, 1);
        }
    }
    grid->setRowStretch(row, 1);

    auto *scroll = new QScrollArea;
    scroll->setWidget(rows);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int wanted = rows->sizeHint().height() + 4;
    scroll->setMinimumSize(rows->sizeHint().width() + 24, std::min(wanted, 440));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(scroll);
    outer->addWidget(buttons);
    HoldFocusRing(this);
}

QComboBox *TConfigBitsDialog::FieldBox(const QString &name) const
{
    return findChild<QComboBox *>(name);
}

void TConfigBitsDialog::Choose(size_t word, const TConfigField *field, QComboBox *box)
{
    const int setting = box->currentData().toInt();
    uint16_t &value = values_[word];
    if (setting >= 0)
        value = EncodeField(value, *field, field->Settings[size_t(setting)]);
    else
        value = uint16_t((value & ~field->Mask) | (original_[word] & field->Mask));
    wordLines_[word]->setText(WordText(layout_->Words[word], value));
}
