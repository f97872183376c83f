// Every modal message box of the program goes through here, so that tests can
// answer a box before it appears instead of driving a nested event loop.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>

class MessageBox {
public:
    // Shows a modal box with the given buttons (captions, access keys marked
    // with "&") and returns the index of the pressed one; -1 when the box was
    // closed without a button.
    static int Show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                    const QStringList &buttons, int defaultButton = 0);
    // An information box with a single OK button.
    static void Information(QWidget *parent, const QString &text);

    // Tests: the next boxes return these answers in order without showing.
    static void PreAnswer(int answer) { answers_.push_back(answer); }
    // Tests: texts of the boxes answered from the queue, oldest first.
    static QStringList &Answered() { return answered_; }
    static void Reset()
    {
        answers_.clear();
        answered_.clear();
    }

    static inline const QString Title = QStringLiteral("Tarnvik");

private:
    static inline std::deque<int> answers_;
    static inline QStringList answered_;
};
