// One board of the gang: its port, the step its chip is at while it works,
// then the verdict in large letters with the reason, the DEVICE-ID, the
// serial number and the time taken.
#pragma once

#include <QFrame>
#include <cstdint>
#include <optional>
#include <string>

#include "ProductionEngine.h"

class QLabel;
class QProgressBar;

class ProductionTile : public QFrame {
    Q_OBJECT
public:
    ProductionTile(const QString &port, QWidget *parent = nullptr);

    void ShowWaiting();
    void ShowStarted(std::optional<uint64_t> serial);
    // What the chip's session says it is doing now.
    void ShowStep(const QString &step);
    // A line the chip's session logged: the last one is the reason a chip
    // that failed shows.
    void NoteLine(const QString &line);
    void ShowProgress(int position, int span);
    // stoppedBy: the reason when the user stopped the round, instead of
    // the session's last words.
    void ShowResult(const ChipResult &result, const QString &stoppedBy = {});
    // The round did not reach this board's chip.
    void ShowNotRun(const QString &why);

    enum class Look { Waiting, Working, Passed, Failed, NotRun };
    Look CurrentLook() const { return look_; }
    QString VerdictText() const;
    QString DetailText() const;

private:
    void SetLook(Look look);

    QLabel *port_, *verdict_, *step_, *details_;
    QProgressBar *bar_;
    QString lastLine_, lastStep_;
    std::optional<uint64_t> serial_;
    Look look_ = Look::Waiting;
};
