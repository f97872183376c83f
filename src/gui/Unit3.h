// The progress dialog the Small Box commands report in: a status text, a
// progress bar and an OK button that hides it again.
#pragma once

#include <QDialog>

#include "QtProgressBar.h"

class QLabel;
class QPushButton;
class QProgressBar;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    static constexpr int DesignedLeft = 192;
    static constexpr int DesignedTop = 114;

    // Shows the dialog where it was last (first: where it was designed) and
    // brings it to the front.
    void ShowDialog();
    void SetStatusText(const QString &text);
    // Moves the dialog off area (the Small Box strip's frame) when it would
    // lie under it: below it, or above it where the screen ends.
    void KeepClearOf(const QRect &area, const QRect &screen);
    ProgressBar &Progress() { return progress_; }

    QLabel *StaticText1;
    QProgressBar *ProgressBar1;
    QPushButton *Button1;

public slots:
    void Button1Click();

private:
    QtProgressBar progress_;
};
