// The Configuration Memory tab's configuration bits by name: the "ビット名…"
// button and its dialog, the decoded settings in the value fields' hints, and
// the log note for parts whose names are unknown.
#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

#include "ConfigBitsDialog.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "configbits/ConfigEdit.h"
#include "support/textutil.h"
#include "texts/configbits_texts.h"

std::shared_ptr<const TConfigLayout> TForm1::ConfigNames()
{
    std::string name;
    if (const TDeviceSpec18 *dev = SelectedDevice18())
        name = dev->Name;
    else if (const TDeviceSpec *dev = SelectedDevice())
        name = dev->Name;
    if (name != configNamesDevice_) {
        configNamesDevice_ = name;
        configNamesProblem_.clear();
        configNames_ = name.empty() ? nullptr : ConfigLayoutFor(name, Pic18, &configNamesProblem_);
    }
    return configNames_;
}

void TForm1::NoteConfigNames()
{
    if (!ConfigNames() && !configNamesDevice_.empty()) {
        // A header that is there but cannot be read is named, with why.
        if (!configNamesProblem_.empty()) AddLog(configNamesProblem_);
        AddLog(texts::NoConfigNames());
    }
    UpdateConfigBitsButton();
    RefreshConfigHints();
}

void TForm1::UpdateConfigBitsButton()
{
    config_->ConfigBitsButton->setEnabled(config_->CheckBox1->isChecked() && ConfigNames());
}

TConfigSlots TForm1::ConfigFieldSlots() const
{
    TConfigSlots held;
    const auto fields = config_->Config18Values();
    for (size_t k = 0; k < held.size(); ++k)
        held[k] = ParseConfigField(fields[k]->text().toStdString()).value_or(0xFFFF);
    return held;
}

void TForm1::RefreshConfigHints()
{
    auto names = ConfigNames();
    std::array<QString, 7> hints;
    hints.fill(config_->ValueHint);
    if (names) {
        const TConfigValues values = ConfigValuesFromSlots(*names, ConfigFieldSlots());
        for (size_t w = 0; w < names->Words.size(); ++w) {
            const int slot = ConfigSlotOf(*names, names->Words[w]);
            if (slot < 0) continue;
            for (const TConfigField &f : names->Words[w].Fields)
                hints[size_t(slot)] += "\n" + QString::fromStdString(DescribeField(f, values[w]));
        }
    }
    const auto fields = config_->Config18Values();
    for (size_t k = 0; k < fields.size(); ++k)
        fields[k]->setToolTip(hints[k]);
}

void TForm1::ConfigBitsButtonClick()
{
    auto names = ConfigNames();
    if (!names) return;
    TConfigSlots held = ConfigFieldSlots();
    auto *dialog = new TConfigBitsDialog(names, ConfigValuesFromSlots(*names, held),
                                         QString::fromStdString(configNamesDevice_), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, names, dialog] {
        // Only while the fields still belong to the part the dialog was opened for.
        if (ConfigNames() != names || !config_->CheckBox1->isChecked()) return;
        TConfigSlots result = ConfigFieldSlots();
        ConfigValuesToSlots(*names, dialog->Values(), result);
        const auto fields = config_->Config18Values();
        for (const TConfigWord &word : names->Words) {
            const int slot = ConfigSlotOf(*names, word);
            if (slot >= 0 && fields[size_t(slot)]->isEnabled())
                fields[size_t(slot)]->setText(QString::fromStdString(Hex(result[size_t(slot)], 4)));
        }
    });
    dialog->open();
}
