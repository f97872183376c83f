// The front end of one board's session while its chip runs on the port's
// own thread: everything it is told goes to the board's tile on the window's
// thread as a queued call, so no widget is touched from the port's thread.
// The one question a chip may ask (erase a chip whose calibration words are
// already erased) waits for the user's answer in a box on the window.
#pragma once

#include <QPointer>
#include <functional>
#include <atomic>

#include "FrontEnd.h"
#include "ProductionTile.h"

class TileFrontEnd : public FrontEnd {
public:
    TileFrontEnd(ProductionTile *tile, QWidget *boxParent);

    void SetStatus(const std::string &text) override;
    void AddLog(const std::string &line) override;
    void AddLogShowingMessages(const std::string &line) override;
    void SetDialogStatus(const std::string &text) override;
    ProgressBar &MainProgress() override { return bar_; }
    ProgressBar &DialogProgress() override { return bar_; }
    void ProcessMessages() override {}
    bool ConfirmErasedCalibration(const std::string &text) override;
    std::string DifferenceLine(const std::string &address, const std::string &file,
                               const std::string &chip) const override;

protected:
    void ShowMessage(const std::string &text) override;

private:
    class TileBar : public ProgressBar {
    public:
        explicit TileBar(TileFrontEnd &ui) : ui_(ui) {}
        void SetRange(int minimum, int maximum) override;
        void StepIt() override;
        void SetPosition(int position) override;

    private:
        TileFrontEnd &ui_;
        std::atomic<int> minimum_{0}, maximum_{100}, position_{0}, shown_{-1};
    };

    void Post(std::function<void(ProductionTile &)> change);

    QPointer<ProductionTile> tile_;
    QPointer<QWidget> boxParent_;
    TileBar bar_{*this};
};
