// The production run's settings as the window edits them: the log, the
// serial numbers, the hooks and the gang's ports, the ports chosen from the
// boards a search finds on COM1 ... COM10 (and those named before).
#pragma once

#include <QDialog>

#include "AppSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

class ProductionSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ProductionSettingsDialog(const AppSettings::Production &settings, std::string settingsPath,
                             QWidget *parent = nullptr);
    AppSettings::Production Settings() const;

private:
    void AddPort(const QString &port, bool checked);
    void FindBoards();
    void ShowSerialFields();

    AppSettings::Production base_;
    std::string settingsPath_;
    QLineEdit *log_, *serialAt_, *serialStart_, *serialList_, *serialState_, *onPass_, *onFail_;
    QCheckBox *erase_, *serial_;
    QComboBox *format_;
    QSpinBox *bytes_;
    QListWidget *ports_;
    QPushButton *find_;
    QLabel *found_;
};
