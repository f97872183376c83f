#include "MessageLog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "Controls.h"
#include "Fonts.h"
#include "WindowHandlers.h"
#include "texts/window_control_texts.h"

MessageLog::MessageLog(QWidget &form, WindowHandlers &handlers, QTabWidget *pages) : handlers_(handlers)
{
    TabSheet5 = new QWidget;
    TabSheet5->setObjectName("TabSheet5");
    Memo4 = new QPlainTextEdit(TabSheet5);
    Memo4->setObjectName("Memo4");
    Memo4->setReadOnly(true);
    Memo4->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo4->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo4->setUndoRedoEnabled(false);
    Memo4->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo4->setAccessibleName("Message");
    Button9 = MakeButton(TabSheet5, "Button9", "CLEAR", QString::fromStdString(texts::ClearMessagesHint()),
                         QRect(0, 0, 60, 22));
    Wire(Button9, &QPushButton::clicked, form, handlers_, &WindowHandlers::Button9Click);
    pages->addTab(TabSheet5, "Message");
}

void MessageLog::Add(const std::string &line)
{
    Memo4->appendPlainText(QString::fromStdString(line));
    ScrollToEnd();
}

void MessageLog::ScrollToEnd()
{
    Memo4->verticalScrollBar()->setValue(Memo4->verticalScrollBar()->maximum());
}

void MessageLog::Layout(QSize page)
{
    Memo4->setGeometry(2, 2, page.width() - 4, page.height() - 30);
    Button9->move(page.width() - Button9->width() - 4, page.height() - 26);
}
