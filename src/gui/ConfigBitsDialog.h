// Editing the configuration words by name: one row per field with a drop-down
// of its settings, the resulting words shown as they change. The dialog only
// computes words; the caller puts them where the user would have typed them.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "configbits/ConfigBits.h"

class QComboBox;
class QLabel;

class TConfigBitsDialog : public QDialog {
    Q_OBJECT
public:
    TConfigBitsDialog(std::shared_ptr<const TConfigLayout> layout, const TConfigValues &values,
                      const QString &device, QWidget *parent = nullptr);

    // The words with every choice applied; bits outside the named fields as given.
    const TConfigValues &Values() const { return values_; }
    // The drop-down of a field, found by the field's name (its objectName).
    QComboBox *FieldBox(const QString &name) const;
    // The line that shows a word's current value.
    QLabel *WordLine(size_t word) const { return wordLines_.at(word); }

    // "CONFIG1 (2007) = 3F72": the word's name, address and value.
    static QString WordText(const TConfigWord &word, uint16_t value);

private:
    void Choose(size_t word, const TConfigField *field, QComboBox *box);

    std::shared_ptr<const TConfigLayout> layout_;
    TConfigValues original_, values_;
    std::vector<QLabel *> wordLines_;
};
