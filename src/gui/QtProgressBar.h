// Hands a Qt progress bar to the core as its ProgressBar.
#pragma once

#include <QProgressBar>

#include "FrontEnd.h"

class QtProgressBar : public ProgressBar {
public:
    explicit QtProgressBar(QProgressBar *bar = nullptr) : bar_(bar) {}
    void Attach(QProgressBar *bar) { bar_ = bar; }

    void SetRange(int minimum, int maximum) override
    {
        // An empty region must not leave the bar "busy" (Qt animates 0..0).
        bar_->setRange(minimum, maximum > minimum ? maximum : minimum + 1);
    }
    void StepIt() override
    {
        // Stepping past the maximum wraps to the minimum, as the step of a
        // classic progress bar does.
        int next = bar_->value() + 1;
        if (next > bar_->maximum()) next = bar_->minimum() + (next - bar_->maximum() - 1);
        bar_->setValue(next);
    }
    void SetPosition(int position) override { bar_->setValue(position); }

private:
    QProgressBar *bar_;
};
