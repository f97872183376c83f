// The Message tab: the log of what the commands did and found, and CLEAR.
#pragma once

#include <QSize>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class WindowHandlers;

class MessageLog {
public:
    MessageLog(QWidget &form, WindowHandlers &handlers, QTabWidget *pages);
    // Appends a line and scrolls to it.
    void Add(const std::string &line);
    void ScrollToEnd();
    void Layout(QSize page);

    QWidget *TabSheet5;
    QPlainTextEdit *Memo4;
    QPushButton *Button9; // CLEAR

private:
    WindowHandlers &handlers_;
};
