// The production window's rounds: what refuses one, the engine over the
// gang, the round on its worker thread and what comes back from it.
#include <fcntl.h>
#include <unistd.h>

#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QSocketNotifier>

#include "ProductionEngine.h"
#include "ProductionTile.h"
#include "ProductionWindow.h"
#include "RoundRelay.h"
#include "RunStatus.h"
#include "SessionChip.h"
#include "TileFrontEnd.h"
#include "support/interrupt.h"
#include "texts/production_window_texts.h"

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

std::string SettingCaption(PlanSetting setting)
{
    switch (setting) {
    case PlanSetting::Ports:
        return texts::BoardsCaption();
    case PlanSetting::SerialFormat:
        return texts::SerialFormatCaption();
    case PlanSetting::SerialAt:
        return texts::SerialAddressCaption();
    case PlanSetting::SerialBytes:
        return texts::SerialBytesCaption();
    case PlanSetting::SerialStart:
        return texts::SerialStartCaption();
    case PlanSetting::SerialSource:
        return texts::SerialStartCaption() + " / " + texts::SerialListCaption() + " / " +
               texts::SerialStateCaption();
    case PlanSetting::OnPass:
        return texts::OnPassCaption();
    case PlanSetting::OnFail:
        return texts::OnFailCaption();
    }
    return {};
}

} // namespace

bool ProductionWindow::RefuseStart()
{
    QString why;
    if (!image_.Loaded())
        why = ImageStateText(imageState_);
    else if (image_.ChangedOnDisk())
        why = Q(texts::ImageChangedOnDisk());
    else if (tiles_.empty())
        why = Q(texts::NoBoardsChosen());
    if (why.isEmpty()) return false;
    SetStatus(why);
    for (ProductionTile *t : tiles_)
        t->ShowNotRun(why);
    return true;
}

bool ProductionWindow::OpenEngine()
{
    ProductionPlan plan;
    if (const auto refused = PlanFromSettings(settings_, plan)) {
        SetStatus(Q(texts::SettingRefusedText(SettingCaption(refused->setting) + " (" + refused->value + ")")));
        return false;
    }
    plan.file = image_.File();
    plan.device = image_.Device();
    plan.settingsPath = settingsPath_;
    plan_ = std::move(plan);
    uis_.clear();
    for (ProductionTile *t : tiles_)
        uis_.push_back(std::make_unique<TileFrontEnd>(t, this));
    RoundRelay::Handlers handlers;
    handlers.chipStarted = [this](size_t port, std::optional<uint64_t> serial) {
        started_[port] = true;
        tiles_[port]->ShowStarted(serial);
    };
    handlers.chipFinished = [this](size_t port, const ChipResult &r) { ChipFinished(port, r); };
    handlers.hookLine = [this](size_t port, bool, const std::string &line) { tiles_[port]->NoteLine(Q(line)); };
    handlers.problem = [this](const ProductionError &e) { ShowProblem(e); };
    handlers.serialsContinue = [this](uint64_t next) { SetStatus(Q(texts::SerialsContinueText(next))); };
    relay_ = std::make_unique<RoundRelay>(this, PortLabels(plan_.ports), std::move(handlers));
    chip_ = std::make_unique<SessionChip>(plan_, [this](size_t port) -> FrontEnd & { return *uis_[port]; });
    engine_ = std::make_unique<ProductionEngine>(plan_, image_.Buffer(), *chip_, *relay_);
    roundProblem_ = false;
    if (engine_->Open() != ExitSuccess) {
        DropEngine();
        for (ProductionTile *t : tiles_)
            t->ShowNotRun(status_->text());
        return false;
    }
    return true;
}

void ProductionWindow::DropEngine()
{
    engine_.reset();
    chip_.reset();
    relay_.reset();
    uis_.clear();
}

void ProductionWindow::StartRound()
{
    if (RoundRunning() || !start_->isEnabled()) return;
    if (RefuseStart()) return;
    if (!engine_ && !OpenEngine()) return;
    ClearInterrupt();
    stopRequested_ = false;
    roundProblem_ = false;
    started_.assign(tiles_.size(), false);
    notRunReason_.clear();
    for (ProductionTile *t : tiles_)
        t->ShowWaiting();
    SetRunning(true);
    SetStatus(Q(texts::RoundRunning()));
    worker_ = std::thread([this] {
        bool more = false;
        try {
            more = engine_->RunRound();
        } catch (...) {
            more = false; // the engine is opened afresh for the next round
        }
        QMetaObject::invokeMethod(this, [this, more] { RoundDone(more); }, Qt::QueuedConnection);
    });
}

void ProductionWindow::StopRound()
{
    if (!RoundRunning()) return;
    // The chips stop at their next command; an erase writes its
    // calibration words back first.
    RequestInterrupt(0);
    stopRequested_ = true;
    SetStatus(Q(texts::StopRequested()));
}

void ProductionWindow::ChipFinished(size_t port, const ChipResult &r)
{
    const bool passed = r.status == ExitSuccess;
    tiles_[port]->ShowResult(r, stopRequested_ && !passed ? Q(texts::ChipStopped()) : QString());
    (passed ? passed_ : failed_) += 1;
    if (!settings_.log.empty()) (passed ? logPassed_ : logFailed_) += 1;
    ShowCounts();
}

void ProductionWindow::RoundDone(bool more)
{
    if (worker_.joinable()) worker_.join();
    for (size_t i = 0; i < tiles_.size(); ++i)
        if (!started_[i]) tiles_[i]->ShowNotRun(notRunReason_);
    // A run the engine ends (its stock spent, a hook failed) is opened
    // afresh for the next round, which judges the settings again.
    if (!more) DropEngine();
    ClearInterrupt();
    SetRunning(false);
    if (!roundProblem_) SetStatus(Q(texts::ProductionReady()));
    emit RoundEnded();
    if (endSignal_) {
        if (beforeEnd_) beforeEnd_();
        EndBySignal(endSignal_);
    }
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void ProductionWindow::ShowProblem(const ProductionError &e)
{
    std::string text;
    switch (e.problem) {
    case ProductionProblem::SerialNeedsDevice:
        text = texts::SerialNeedsDeviceText();
        break;
    case ProductionProblem::SerialPlaceRefused:
        text = texts::SerialPlaceRefusedText(e.reason, e.overlapsFile);
        break;
    case ProductionProblem::SerialListUnreadable:
        text = texts::SerialListUnreadableText(e.reason);
        break;
    case ProductionProblem::SerialStateRefused:
        text = texts::SerialStateRefusedText(e.reason);
        break;
    case ProductionProblem::LogNotOpened:
        text = texts::LogNotOpenedText(e.reason);
        break;
    case ProductionProblem::SerialNotDrawn:
        text = texts::SerialNotDrawnText(e.reason);
        break;
    case ProductionProblem::SerialTooLarge:
        text = texts::SerialTooLargeText(e.number);
        break;
    case ProductionProblem::SerialNotRecorded:
        text = texts::SerialNotRecordedText(e.reason);
        break;
    case ProductionProblem::LogRowNotWritten:
        text = texts::LogRowNotWrittenText(e.reason);
        break;
    case ProductionProblem::HookFailed:
        text = texts::HookFailedText(e.port < plan_.ports.size() ? plan_.ports[e.port] : std::string(), e.passed,
                                     e.reason);
        break;
    }
    roundProblem_ = true;
    notRunReason_ = Q(text);
    SetStatus(Q(text));
}

void ProductionWindow::ListenForEndingSignals(std::function<void()> beforeEnd)
{
    beforeEnd_ = std::move(beforeEnd);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return; // the signals keep ending the window at once
    auto *notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd = fds[0]] {
        unsigned char sig = 0;
        if (::read(fd, &sig, 1) != 1) return;
        if (RoundRunning()) {
            endSignal_ = sig;
            SetStatus(Q(texts::EndAfterRound()));
            return;
        }
        if (beforeEnd_) beforeEnd_();
        EndBySignal(sig);
    });
    SignalsToPipeAfterHolds(fds[1]);
}
