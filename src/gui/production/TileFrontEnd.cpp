#include "TileFrontEnd.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "MessageBox.h"
#include "texts/window_texts.h"

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

} // namespace

TileFrontEnd::TileFrontEnd(ProductionTile *tile, QWidget *boxParent) : tile_(tile), boxParent_(boxParent) {}

void TileFrontEnd::Post(std::function<void(ProductionTile &)> change)
{
    ProductionTile *tile = tile_.data();
    if (!tile) return;
    // The tile as context: a call still queued when it is gone is dropped.
    QMetaObject::invokeMethod(
        tile, [tile, change = std::move(change)] { change(*tile); }, Qt::QueuedConnection);
}

void TileFrontEnd::SetStatus(const std::string &text)
{
    Post([step = Q(text)](ProductionTile &t) { t.ShowStep(step); });
}

void TileFrontEnd::AddLog(const std::string &line)
{
    Post([line = Q(line)](ProductionTile &t) { t.NoteLine(line); });
}

void TileFrontEnd::AddLogShowingMessages(const std::string &line) { AddLog(line); }

void TileFrontEnd::SetDialogStatus(const std::string &text) { SetStatus(text); }

void TileFrontEnd::ShowMessage(const std::string &text) { AddLog(text); }

bool TileFrontEnd::ConfirmErasedCalibration(const std::string &text)
{
    QWidget *parent = boxParent_.data();
    if (!parent) return false; // nobody to ask: the chip stays as it is
    bool erase = false;
    auto ask = [&] {
        // No first and the default, as in the main window: an Enter from
        // the foot switch keeps the chip as it is.
        erase = MessageBox::Show(parent, QMessageBox::Warning, MessageBox::Title,
                                 Q(texts::EraseAnywayQuestion(text)),
                                 {Q(texts::NoButton()), Q(texts::YesButton())}, 0) == 1;
    };
    if (QThread::currentThread() == parent->thread())
        ask();
    else
        QMetaObject::invokeMethod(parent, ask, Qt::BlockingQueuedConnection);
    return erase;
}

std::string TileFrontEnd::DifferenceLine(const std::string &address, const std::string &file,
                                         const std::string &chip) const
{
    return texts::DifferenceAt(address, file, chip);
}

void TileFrontEnd::TileBar::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    SetPosition(minimum);
}

void TileFrontEnd::TileBar::StepIt() { SetPosition(position_ < maximum_ ? position_ + 1 : position_.load()); }

void TileFrontEnd::TileBar::SetPosition(int position)
{
    position_ = position;
    const int span = maximum_ - minimum_;
    // One call per percent: a program steps the bar once a row.
    const int percent = span > 0 ? (position - minimum_) * 100 / span : 0;
    if (percent == shown_.exchange(percent)) return;
    ui_.Post([percent](ProductionTile &t) { t.ShowProgress(percent, 100); });
}
