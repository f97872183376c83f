// A front end that shows nothing: for the production window's own loads and
// searches, whose outcomes come back as reports.
#pragma once

#include "FrontEnd.h"

class SilentFrontEnd : public FrontEnd {
public:
    void SetStatus(const std::string &) override {}
    void AddLog(const std::string &) override {}
    void AddLogShowingMessages(const std::string &) override {}
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar_; }
    ProgressBar &DialogProgress() override { return bar_; }
    void ProcessMessages() override {}

protected:
    void ShowMessage(const std::string &) override {}

private:
    struct NoBar : ProgressBar {
        void SetRange(int, int) override {}
        void StepIt() override {}
        void SetPosition(int) override {}
    } bar_;
};
