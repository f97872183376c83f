// The production window: one image loaded and locked, one tile a board of
// the gang, a round of chips started by Enter or Space (a foot switch types
// a key) and run by the engine the command line runs, on a worker thread so
// that the window answers meanwhile.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AppSettings.h"
#include "LockedImage.h"
#include "ProductionEngine.h"
#include "ProductionSettings.h"

class ProductionTile;
class QGridLayout;
class QLabel;
class QPushButton;
class RoundRelay;
class SessionChip;
class SettingsFile;
class TileFrontEnd;

class ProductionWindow : public QWidget {
    Q_OBJECT
public:
    // file: the HEX file to lock; device: the part (empty: the file's or the
    // settings').
    // shared: the settings the main window holds parsed and writes at its
    // close, so that the [production] keys go into the same copy; without
    // one the window parses the file itself.
    ProductionWindow(std::string settingsPath, const std::string &file, const std::string &device,
                     SettingsFile *shared = nullptr, QWidget *parent = nullptr);
    ~ProductionWindow() override;

    // An ending signal (SIGTERM at log-out, the terminal closed) ends the
    // window at once between rounds, and only after the round during one;
    // beforeEnd runs first.
    void ListenForEndingSignals(std::function<void()> beforeEnd = {});

    bool RoundRunning() const { return worker_.joinable(); }
    size_t TileCount() const { return tiles_.size(); }
    ProductionTile *Tile(size_t port) const { return tiles_[port]; }
    QString StatusText() const;
    QString SessionCountsText() const;
    QString LogCountsText() const;
    QPushButton *StartButton() const { return start_; }
    QPushButton *StopButton() const { return stop_; }
    QPushButton *ReloadButton() const { return reload_; }
    QPushButton *ChooseButton() const { return choose_; }
    QPushButton *SettingsButton() const { return settingsButton_; }
    const LockedImage &Image() const { return image_; }

signals:
    void RoundEnded();

public slots:
    void StartRound();
    void StopRound();
    void ReloadImage();
    // Another file, for the part of the image before (or the file's own).
    void ChooseImage();
    void EditSettings();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildTiles();
    void ShowImage();
    void ShowImageState(ImageState state);
    QString ImageStateText(ImageState state) const;
    void SetStatus(const QString &text);
    void SetRunning(bool running);
    void ShowCounts();
    void CountLog();
    bool RefuseStart();
    bool OpenEngine();
    void DropEngine();
    void RoundDone(bool more);
    void ShowProblem(const ProductionError &error);
    void ChipFinished(size_t port, const ChipResult &result);
    bool SaveSettings();

    std::string settingsPath_;
    std::unique_ptr<SettingsFile> ownSettings_;
    SettingsFile *settingsFile_;
    AppSettings::Production settings_;
    LockedImage image_;
    ImageState imageState_ = ImageState::NoFile;
    ProductionPlan plan_;
    std::vector<ProductionTile *> tiles_;
    std::vector<std::unique_ptr<TileFrontEnd>> uis_;
    std::unique_ptr<RoundRelay> relay_;
    std::unique_ptr<SessionChip> chip_;
    std::unique_ptr<ProductionEngine> engine_;
    std::thread worker_;
    std::vector<bool> started_;
    int passed_ = 0, failed_ = 0;
    LogCounts logBase_;
    int logPassed_ = 0, logFailed_ = 0;
    int endSignal_ = 0; // an ending signal that came during a round
    bool closePending_ = false;
    bool roundProblem_ = false;
    bool stopRequested_ = false;
    QString notRunReason_;
    std::function<void()> beforeEnd_;

    QLabel *file_, *checksum_, *device_, *sessionCounts_, *logCounts_, *status_;
    QPushButton *reload_, *choose_, *start_, *stop_, *settingsButton_;
    QWidget *tileArea_;
    QGridLayout *tileGrid_;
};
