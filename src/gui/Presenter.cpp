#include "Presenter.h"

#include <QLineEdit>
#include <QProgressBar>

#include "Accessibility.h"
#include "MessageBox.h"
#include "MessageLog.h"
#include "Unit3.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"
#include "texts/window_control_texts.h"
#include "texts/window_texts.h"

namespace {
QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace

Presenter::Presenter(QWidget &form, MessageLog &log, TForm3 *const &dialog)
    : form_(form), dialog_(dialog), log_(log)
{
    Edit3 = new QLineEdit(&form);
    Edit3->setObjectName("Edit3");
    // The window's status bar to screen readers, each new text announced.
    MarkStatusText(Edit3, Q(texts::StatusBarName()));
    QObject::connect(Edit3, &QLineEdit::textChanged, &form, [this] { AnnounceStatus(Edit3); });
    Edit3->setText("Message");
    Edit3->setReadOnly(true);
    Edit3->setFocusPolicy(Qt::ClickFocus);
    Edit3->setToolTip(Q(texts::StatusHint()));

    ProgressBar1 = new QProgressBar(&form);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setToolTip(Q(texts::ProgressHint()));
    ProgressBar1->setAccessibleName(Q(texts::ProgressBarName()));
    mainProgress_.Attach(ProgressBar1);

    spareBar_ = new QProgressBar(&form);
    spareBar_->hide();
    noDialogProgress_.Attach(spareBar_);
}

void Presenter::SetStatus(const std::string &text, const QString &note)
{
    statusText_ = text;
    Edit3->setText(Q(note.isEmpty() ? text : texts::DoneThenNext(text, note.toStdString())));
    // A text wider than the line shows its beginning, where the " !! " of a
    // failure stands.
    Edit3->setCursorPosition(0);
}

void Presenter::AddLog(const std::string &line)
{
    log_.Add(line);
}

void Presenter::SetDialogStatus(const std::string &text)
{
    if (dialog_) dialog_->SetStatusText(QString::fromStdString(text));
}

ProgressBar &Presenter::DialogProgress()
{
    return dialog_ ? dialog_->Progress() : noDialogProgress_;
}

void Presenter::ShowMessage(const std::string &text)
{
    MessageBox::Information(&form_, QString::fromStdString(text));
}

bool Presenter::ConfirmErasedCalibration(const std::string &text)
{
    // No first and the default: keeping the chip as it is must be the
    // answer an accidental Enter gives.
    return MessageBox::Show(&form_, QMessageBox::Warning, MessageBox::Title,
                            Q(texts::EraseAnywayQuestion(text)),
                            {Q(texts::NoButton()), Q(texts::YesButton())}, 0) == 1;
}

void Presenter::Layout(int width, int height)
{
    Edit3->setGeometry(4, height - 45, width - 8, 22);
    ProgressBar1->setGeometry(4, height - 19, width - 8, 16);
}
