// The Program Memory and Data Memory tabs: each a header naming the columns
// over the dump of the buffer.
#pragma once

#include <QSize>
#include <string>

class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QWidget;

class DumpTabs {
public:
    explicit DumpTabs(QTabWidget *pages);
    // The views fill the page under their headers.
    void Layout(QSize page);

    QWidget *TabSheet1, *TabSheet2;
    QLabel *Label1, *Label3;
    QPlainTextEdit *Memo1, *Memo2;
};

// Puts a dump into its view in one assignment while hidden: the view lays
// out and repaints once.
void ShowDump(QPlainTextEdit *memo, const std::string &text);
