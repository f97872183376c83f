#include "ProductionSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <utility>
#include <algorithm>

#include "PortNames.h"
#include "PortOpening.h"
#include "ProductionSettings.h"
#include "Session.h"
#include "SilentFrontEnd.h"
#include "production/SerialNumber.h"
#include "texts/production_window_texts.h"

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }
std::string S(const QLineEdit *edit) { return edit->text().trimmed().toStdString(); }

// COM1 ... COM10 where a programmer answered, as the settings map them.
std::vector<std::string> SearchBoards(const std::string &settingsPath)
{
    SilentFrontEnd ui;
    Session session(settingsPath, ui);
    Link link{session.Port(), session.Command(), ui};
    const PortSearch search = SearchForProgrammer(link, session.Settings(), session.Modem());
    std::vector<std::string> found;
    for (size_t i = 0; i < search.probe.states.size(); ++i)
        if (search.probe.states[i] == PortState::Programmer) found.push_back(ComName(static_cast<int>(i) + 1));
    return found;
}

} // namespace

ProductionSettingsDialog::ProductionSettingsDialog(const AppSettings::Production &s, std::string settingsPath,
                                                   QWidget *parent)
    : QDialog(parent), base_(s), settingsPath_(std::move(settingsPath)), log_(new QLineEdit(Q(s.log))),
      serialAt_(new QLineEdit(Q(s.serialAt))), serialStart_(new QLineEdit(Q(s.serialStart))),
      serialList_(new QLineEdit(Q(s.serialList))), serialState_(new QLineEdit(Q(s.serialState))),
      onPass_(new QLineEdit(Q(s.onPass))), onFail_(new QLineEdit(Q(s.onFail))),
      erase_(new QCheckBox(Q(texts::EraseFirstCaption()))), serial_(new QCheckBox(Q(texts::SerialOnCaption()))),
      format_(new QComboBox), bytes_(new QSpinBox), ports_(new QListWidget),
      find_(new QPushButton(Q(texts::FindBoardsCaption()))), found_(new QLabel)
{
    setWindowTitle(Q(texts::ProductionSettingsTitle()));
    setObjectName("ProductionSettingsDialog");
    for (auto [widget, name] : {std::pair<QWidget *, const char *>{log_, "LogFile"}, {serialAt_, "SerialAt"},
                                {serialStart_, "SerialStart"}, {serialList_, "SerialList"},
                                {serialState_, "SerialState"}, {onPass_, "OnPass"}, {onFail_, "OnFail"},
                                {erase_, "EraseFirst"}, {serial_, "SerialOn"}, {format_, "SerialFormat"},
                                {bytes_, "SerialBytes"}, {ports_, "Boards"}, {find_, "FindBoards"},
                                {found_, "BoardsFound"}})
        widget->setObjectName(name);
    erase_->setChecked(s.erase);
    serial_->setChecked(s.serial);
    for (SerialFormat f : {SerialFormat::Retlw, SerialFormat::Word, SerialFormat::Eeprom, SerialFormat::Ascii})
        format_->addItem(QString::fromLatin1(SerialFormatName(f)));
    const auto format = ParseSerialFormat(s.serialFormat);
    format_->setCurrentIndex(format ? static_cast<int>(*format) : 0);
    bytes_->setRange(1, 8);
    bytes_->setValue(std::clamp(s.serialBytes, 1, 8));
    for (const std::string &port : SplitPorts(s.ports))
        AddPort(Q(port), true);
    ports_->setMinimumHeight(4 * ports_->fontMetrics().lineSpacing());

    auto *form = new QFormLayout;
    form->addRow(Q(texts::LogFileCaption()), log_);
    form->addRow(erase_);
    form->addRow(serial_);
    form->addRow(Q(texts::SerialFormatCaption()), format_);
    form->addRow(Q(texts::SerialAddressCaption()), serialAt_);
    form->addRow(Q(texts::SerialBytesCaption()), bytes_);
    form->addRow(Q(texts::SerialStartCaption()), serialStart_);
    form->addRow(Q(texts::SerialListCaption()), serialList_);
    form->addRow(Q(texts::SerialStateCaption()), serialState_);
    form->addRow(Q(texts::OnPassCaption()), onPass_);
    form->addRow(Q(texts::OnFailCaption()), onFail_);
    form->addRow(Q(texts::BoardsCaption()), ports_);
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(find_);
    findRow->addWidget(found_, 1);
    form->addRow(QString(), findRow);
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(Q(texts::OkCaption()), QDialogButtonBox::AcceptRole);
    buttons->addButton(Q(texts::CancelCaption()), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(find_, &QPushButton::clicked, this, &ProductionSettingsDialog::FindBoards);
    connect(serial_, &QCheckBox::toggled, this, &ProductionSettingsDialog::ShowSerialFields);
    ShowSerialFields();
    // Room for a path of a few folders in the file fields.
    setMinimumWidth(620);
}

void ProductionSettingsDialog::ShowSerialFields()
{
    for (QWidget *w : std::initializer_list<QWidget *>{format_, serialAt_, bytes_, serialStart_, serialList_,
                                                       serialState_})
        w->setEnabled(serial_->isChecked());
}

void ProductionSettingsDialog::AddPort(const QString &port, bool checked)
{
    if (!ports_->findItems(port, Qt::MatchExactly).isEmpty()) return;
    auto *item = new QListWidgetItem(port, ports_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

// The probe opens the ports one after another and waits for each: on a
// thread of its own, the dialog answering meanwhile.
void ProductionSettingsDialog::FindBoards()
{
    find_->setEnabled(false);
    found_->setText(Q(texts::FindingBoards()));
    QThread *search = QThread::create([this, path = settingsPath_] {
        std::vector<std::string> boards = SearchBoards(path);
        QMetaObject::invokeMethod(
            this,
            [this, boards] {
                for (const std::string &b : boards)
                    AddPort(Q(b), true);
                found_->setText(Q(texts::BoardsFound(static_cast<int>(boards.size()))));
                find_->setEnabled(true);
            },
            Qt::QueuedConnection);
    });
    connect(search, &QThread::finished, search, &QObject::deleteLater);
    // The dialog waits for its search before it goes.
    connect(this, &QObject::destroyed, search, [search] { search->wait(); });
    search->start();
}

AppSettings::Production ProductionSettingsDialog::Settings() const
{
    AppSettings::Production s = base_;
    s.log = S(log_);
    s.erase = erase_->isChecked();
    s.serial = serial_->isChecked();
    s.serialFormat = format_->currentText().toStdString();
    s.serialAt = S(serialAt_);
    s.serialBytes = bytes_->value();
    s.serialStart = S(serialStart_);
    s.serialList = S(serialList_);
    s.serialState = S(serialState_);
    s.onPass = S(onPass_);
    s.onFail = S(onFail_);
    std::vector<std::string> ports;
    for (int i = 0; i < ports_->count(); ++i)
        if (ports_->item(i)->checkState() == Qt::Checked) ports.push_back(ports_->item(i)->text().toStdString());
    s.ports = JoinPorts(ports);
    return s;
}
