#include "DumpTabs.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "Controls.h"
#include "Fonts.h"
#include "image/dump.h"

DumpTabs::DumpTabs(QTabWidget *pages)
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    Label1 = MakeLabel(TabSheet1, "Label1",
                       QString::fromStdString(
                           std::string("ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----")),
                       QRect(4, 1, 450, 14));
    Memo1 = MakeDump(TabSheet1, "Memo1");
    Memo1->setAccessibleName("Program Memory");
    pages->addTab(TabSheet1, "Program Memory");

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    Label3 = MakeLabel(TabSheet2, "Label3",
                       "ADDR  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ----- ASCII-----",
                       QRect(4, 1, 450, 14));
    Memo2 = MakeDump(TabSheet2, "Memo2");
    Memo2->setAccessibleName("Data Memory");
    pages->addTab(TabSheet2, "Data Memory");

    // Each header names the columns of the dump under it.
    for (auto [header, dump] : {std::pair{Label1, Memo1}, {Label3, Memo2}}) {
        header->setFont(FixedFont());
        header->setBuddy(dump);
    }
    // Blank views until the first device is selected.
    Memo1->setPlainText(QString::fromStdString(InitialProgramDumpText()));
    Memo2->setPlainText(QString::fromStdString(InitialDataDumpText()));
}

void DumpTabs::Layout(QSize page)
{
    Memo1->setGeometry(2, 16, page.width() - 4, page.height() - 18);
    Memo2->setGeometry(2, 16, page.width() - 4, page.height() - 18);
}

void ShowDump(QPlainTextEdit *memo, const std::string &text)
{
    memo->hide();
    memo->setPlainText(QString::fromStdString(text));
    memo->show();
}
