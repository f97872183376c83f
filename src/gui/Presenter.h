// Puts what the commands report on screen: the status line and the progress
// bar under the command row, the Message tab's log, the progress dialog's
// status and bar, and the message boxes.
#pragma once

#include <QString>
#include <string>

#include "QtProgressBar.h"

class MessageLog;
class QLineEdit;
class QProgressBar;
class QWidget;
class TForm3;

class Presenter {
public:
    // dialog: the window's progress dialog as it stands (null while none).
    Presenter(QWidget &form, MessageLog &log, TForm3 *const &dialog);

    // The status line shows text, followed by note when one is given.
    void SetStatus(const std::string &text, const QString &note = {});
    // The status text as last set, without any note.
    const std::string &StatusText() const { return statusText_; }
    void AddLog(const std::string &line);
    void SetDialogStatus(const std::string &text);
    ProgressBar &MainProgress() { return mainProgress_; }
    ProgressBar &DialogProgress();
    void ShowMessage(const std::string &text);
    bool ConfirmErasedCalibration(const std::string &text);
    // The status line and the bar keep their distance from the bottom edge.
    void Layout(int width, int height);

    QLineEdit *Edit3; // status line
    QProgressBar *ProgressBar1;

private:
    QWidget &form_;
    TForm3 *const &dialog_;
    MessageLog &log_;
    QtProgressBar mainProgress_;
    QtProgressBar noDialogProgress_;
    QProgressBar *spareBar_ = nullptr; // stands in while no dialog is attached
    std::string statusText_;
};
