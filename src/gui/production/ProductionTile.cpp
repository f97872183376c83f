#include "ProductionTile.h"

#include <QLabel>
#include <utility>
#include <algorithm>
#include <QProgressBar>
#include <QVBoxLayout>

#include "RunStatus.h"
#include "texts/production_window_texts.h"

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

// The verdict's colours: readable on either palette, green and red as a
// workshop expects them.
QString VerdictStyle(ProductionTile::Look look)
{
    switch (look) {
    case ProductionTile::Look::Passed:
        return QStringLiteral("QLabel { background: #1f8a3a; color: white; }");
    case ProductionTile::Look::Failed:
        return QStringLiteral("QLabel { background: #c0262d; color: white; }");
    case ProductionTile::Look::NotRun:
        return QStringLiteral("QLabel { background: #b06a00; color: white; }");
    default:
        return {};
    }
}

} // namespace

ProductionTile::ProductionTile(const QString &port, QWidget *parent)
    : QFrame(parent), port_(new QLabel(port, this)), verdict_(new QLabel(this)), step_(new QLabel(this)),
      details_(new QLabel(this)), bar_(new QProgressBar(this))
{
    setFrameShape(QFrame::StyledPanel);
    setObjectName("ProductionTile");
    for (auto [widget, name] : {std::pair<QWidget *, const char *>{port_, "TilePort"}, {verdict_, "TileVerdict"},
                                {step_, "TileStep"}, {details_, "TileDetails"}, {bar_, "TileProgress"}})
        widget->setObjectName(name);
    // A screen reader names the tile by its board.
    setAccessibleName(port);
    setMinimumWidth(220);
    QFont bold = port_->font();
    bold.setBold(true);
    port_->setFont(bold);
    QFont large = verdict_->font();
    large.setPixelSize(40);
    large.setBold(true);
    verdict_->setFont(large);
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setMinimumHeight(64);
    step_->setWordWrap(true);
    details_->setWordWrap(true);
    step_->setMinimumHeight(2 * step_->fontMetrics().lineSpacing());
    bar_->setTextVisible(false);
    bar_->setMaximumHeight(10);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(port_);
    layout->addWidget(verdict_);
    layout->addWidget(bar_);
    layout->addWidget(step_);
    layout->addWidget(details_);
    layout->addStretch(1);
    ShowWaiting();
}

void ProductionTile::SetLook(Look look)
{
    look_ = look;
    verdict_->setStyleSheet(VerdictStyle(look));
}

void ProductionTile::ShowWaiting()
{
    SetLook(Look::Waiting);
    verdict_->setText(Q(texts::TileWaiting()));
    step_->clear();
    details_->clear();
    bar_->setValue(0);
}

void ProductionTile::ShowStarted(std::optional<uint64_t> serial)
{
    SetLook(Look::Working);
    serial_ = serial;
    lastLine_.clear();
    lastStep_.clear();
    verdict_->setText(QStringLiteral("…"));
    step_->setText(Q(texts::TileStarting()));
    details_->setText(serial ? Q(texts::TileSerial(*serial)) : QString());
    bar_->setRange(0, 100);
    bar_->setValue(0);
}

void ProductionTile::ShowStep(const QString &step)
{
    if (look_ != Look::Working) return;
    step_->setText(step);
    lastStep_ = step;
}

void ProductionTile::NoteLine(const QString &line)
{
    if (look_ == Look::Working && !line.trimmed().isEmpty()) lastLine_ = line;
}

void ProductionTile::ShowProgress(int position, int span)
{
    if (look_ != Look::Working) return;
    bar_->setRange(0, span > 0 ? span : 1);
    bar_->setValue(std::clamp(position, 0, bar_->maximum()));
}

void ProductionTile::ShowResult(const ChipResult &r, const QString &stoppedBy)
{
    const bool passed = r.status == ExitSuccess;
    SetLook(passed ? Look::Passed : Look::Failed);
    verdict_->setText(Q(passed ? texts::ChipPassed() : texts::ChipFailed()));
    // The reason in the session's words, with the log's word for it; a
    // chip that passed shows how its last step ended.
    // A run that logged nothing (stopped) gives its last status instead.
    const QString said = !stoppedBy.isEmpty() ? stoppedBy : lastLine_.isEmpty() ? lastStep_ : lastLine_;
    const QString reason = said.isEmpty() ? Q(r.result) : said + " (" + Q(r.result) + ")";
    step_->setText(passed ? lastLine_ : reason);
    QStringList lines{Q(texts::TileDeviceId(r.deviceId))};
    if (!r.serial.empty() && serial_) lines << Q(texts::TileSerial(*serial_));
    lines << Q(texts::TileSeconds(r.elapsedMs));
    details_->setText(lines.join('\n'));
    if (passed) bar_->setValue(bar_->maximum());
}

void ProductionTile::ShowNotRun(const QString &why)
{
    SetLook(Look::NotRun);
    verdict_->setText(Q(texts::ChipNotRun()));
    step_->setText(why);
    details_->clear();
    bar_->setValue(0);
}

QString ProductionTile::VerdictText() const { return verdict_->text(); }
QString ProductionTile::DetailText() const { return step_->text() + '\n' + details_->text(); }
