// The production window's construction, its image and its settings.
#include "ProductionWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>
#include <algorithm>

#include "FileDialog.h"
#include "Naming.h"
#include "ProductionEngine.h"
#include "ProductionSettingsDialog.h"
#include "ProductionTile.h"
#include "RoundRelay.h"
#include "SessionChip.h"
#include "TileFrontEnd.h"
#include "settings/settings.h"
#include "support/textutil.h"
#include "texts/production_window_texts.h"

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

QPushButton *Button(const std::string &caption, QWidget *parent)
{
    auto *b = new QPushButton(Q(caption), parent);
    // Enter and Space belong to the window: a foot switch's key must start
    // a round whichever control was clicked last.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

ProductionWindow::ProductionWindow(std::string settingsPath, const std::string &file, const std::string &device,
                                   SettingsFile *shared, QWidget *parent)
    : QWidget(parent, Qt::Window), settingsPath_(std::move(settingsPath)),
      ownSettings_(shared ? nullptr : std::make_unique<SettingsFile>(settingsPath_)),
      settingsFile_(shared ? shared : ownSettings_.get()),
      settings_(ReadAppSettings(*settingsFile_).production), image_(settingsPath_), file_(new QLabel(this)),
      checksum_(new QLabel(this)), device_(new QLabel(this)), sessionCounts_(new QLabel(this)),
      logCounts_(new QLabel(this)), status_(new QLabel(this)),
      reload_(Button(texts::ReloadImageCaption(), this)), choose_(Button(texts::ChooseImageCaption(), this)), start_(Button(texts::StartRoundCaption(), this)),
      stop_(Button(texts::StopRoundCaption(), this)), settingsButton_(Button(texts::ProductionSettingsCaption(), this)),
      tileArea_(new QWidget(this)), tileGrid_(new QGridLayout(tileArea_))
{
    setWindowTitle(Q(texts::ProductionWindowTitle()));
    setObjectName("ProductionWindow");
    for (auto [widget, name] : {std::pair<QWidget *, const char *>{file_, "ImageFile"}, {checksum_, "ImageChecksum"},
                                {device_, "ImageDevice"}, {sessionCounts_, "SessionCounts"},
                                {logCounts_, "LogCounts"}, {status_, "ProductionStatus"},
                                {reload_, "ReloadButton"}, {choose_, "ChooseButton"}, {start_, "StartButton"},
                                {stop_, "StopButton"}, {settingsButton_, "SettingsButton"}})
        widget->setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    auto *imageRow = new QHBoxLayout;
    // The file, its checksum and its part apart at a glance.
    imageRow->setSpacing(18);
    imageRow->addWidget(file_, 2);
    imageRow->addWidget(checksum_, 1);
    imageRow->addWidget(device_, 1);
    imageRow->addWidget(reload_);
    imageRow->addWidget(choose_);
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(sessionCounts_);
    countRow->addSpacing(24);
    countRow->addWidget(logCounts_);
    countRow->addStretch(1);
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(start_, 2);
    commandRow->addWidget(stop_, 1);
    commandRow->addStretch(1);
    commandRow->addWidget(settingsButton_);
    QFont large = start_->font();
    large.setPixelSize(18);
    start_->setFont(large);
    start_->setMinimumHeight(40);
    stop_->setMinimumHeight(40);
    status_->setWordWrap(true);
    status_->setMinimumHeight(2 * status_->fontMetrics().lineSpacing());
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(imageRow);
    layout->addLayout(countRow);
    layout->addWidget(tileArea_, 1);
    layout->addLayout(commandRow);
    layout->addWidget(status_);
    connect(start_, &QPushButton::clicked, this, &ProductionWindow::StartRound);
    connect(stop_, &QPushButton::clicked, this, &ProductionWindow::StopRound);
    connect(reload_, &QPushButton::clicked, this, &ProductionWindow::ReloadImage);
    connect(choose_, &QPushButton::clicked, this, &ProductionWindow::ChooseImage);
    connect(settingsButton_, &QPushButton::clicked, this, &ProductionWindow::EditSettings);

    BuildTiles();
    const ImageState state = image_.Load(file, device);
    ShowImage();
    ShowImageState(state);
    CountLog();
    SetRunning(false);
    resize(std::max(560, 250 * static_cast<int>(std::min<size_t>(tiles_.size(), 4)) + 40), 420);
}

ProductionWindow::~ProductionWindow()
{
    // The round's chips end as they would; nothing is left half done.
    if (worker_.joinable()) worker_.join();
}

void ProductionWindow::BuildTiles()
{
    for (ProductionTile *t : tiles_)
        delete t;
    tiles_.clear();
    const std::vector<std::string> ports = SplitPorts(settings_.ports);
    const int columns = ports.size() > 4 ? 4 : std::max<int>(1, static_cast<int>(ports.size()));
    for (size_t i = 0; i < ports.size(); ++i) {
        auto *tile = new ProductionTile(Q(ports[i]), tileArea_);
        tileGrid_->addWidget(tile, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        tiles_.push_back(tile);
    }
}

void ProductionWindow::ShowImage()
{
    file_->setText(image_.File().empty() ? Q(texts::ProductionNoFile())
                                         : Q(texts::ProductionFileLabel(FileBaseName(image_.File()))));
    file_->setToolTip(Q(image_.File()));
    checksum_->setText(Q(texts::ProductionChecksumLabel(image_.Checksum() ? Hex(*image_.Checksum(), 4) : "-")));
    device_->setText(Q(texts::ProductionDeviceLabel(image_.Loaded() ? DeviceName(image_.Device()) : "-")));
}

QString ProductionWindow::ImageStateText(ImageState state) const
{
    switch (state) {
    case ImageState::Loaded:
        break;
    case ImageState::NoFile:
        return Q(texts::NoProductionFile());
    case ImageState::Unreadable:
        return Q(texts::ImageUnreadable(image_.Reason()));
    case ImageState::Damaged:
        return Q(texts::ImageDamaged());
    case ImageState::NoDevice:
        return Q(texts::NoProductionDevice());
    }
    return Q(texts::ProductionReady());
}

void ProductionWindow::ShowImageState(ImageState state)
{
    imageState_ = state;
    SetStatus(ImageStateText(state));
}

void ProductionWindow::SetStatus(const QString &text) { status_->setText(text); }
QString ProductionWindow::StatusText() const { return status_->text(); }
QString ProductionWindow::SessionCountsText() const { return sessionCounts_->text(); }
QString ProductionWindow::LogCountsText() const { return logCounts_->text(); }

void ProductionWindow::ShowCounts()
{
    sessionCounts_->setText(Q(texts::SessionCounts(passed_, failed_)));
    logCounts_->setVisible(!settings_.log.empty());
    logCounts_->setText(Q(texts::LogCounts(logBase_.passed + logPassed_, logBase_.failed + logFailed_)));
}

// The rows the log holds already; the window adds its own chips to them.
void ProductionWindow::CountLog()
{
    logBase_ = settings_.log.empty() ? LogCounts{} : CountLogRows(settings_.log);
    logPassed_ = logFailed_ = 0;
    ShowCounts();
}

void ProductionWindow::SetRunning(bool running)
{
    start_->setEnabled(!running);
    reload_->setEnabled(!running);
    choose_->setEnabled(!running);
    settingsButton_->setEnabled(!running);
    stop_->setEnabled(running);
}

void ProductionWindow::ReloadImage()
{
    if (RoundRunning()) return;
    DropEngine();
    const ImageState state = image_.Reload();
    ShowImage();
    ShowImageState(state);
    if (state == ImageState::Loaded) SetStatus(Q(texts::ImageReloaded()));
}

void ProductionWindow::ChooseImage()
{
    if (RoundRunning()) return;
    const QString path = FileDialog::Open(this);
    if (path.isEmpty()) return;
    DropEngine();
    const ImageState state = image_.Load(path.toStdString(), image_.Loaded() ? DeviceName(image_.Device()) : "");
    ShowImage();
    ShowImageState(state);
}

bool ProductionWindow::SaveSettings()
{
    return WriteProductionSettings(*settingsFile_, settings_) && settingsFile_->Save();
}

void ProductionWindow::EditSettings()
{
    if (RoundRunning()) return;
    ProductionSettingsDialog dialog(settings_, settingsPath_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    settings_ = dialog.Settings();
    DropEngine();
    BuildTiles();
    CountLog();
    if (!SaveSettings()) SetStatus(Q(texts::ProductionSettingsUnwritable(settingsFile_->Path())));
}

void ProductionWindow::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        // A key held down starts one round, not one a repeat.
        if (!event->isAutoRepeat()) StartRound();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProductionWindow::closeEvent(QCloseEvent *event)
{
    if (RoundRunning()) {
        // The chips of the round end first: a close now would leave them
        // half programmed.
        closePending_ = true;
        SetStatus(Q(texts::EndAfterRound()));
        event->ignore();
        return;
    }
    DropEngine();
    event->accept();
}
