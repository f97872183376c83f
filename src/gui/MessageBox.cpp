#include "MessageBox.h"

#include <QPushButton>

int MessageBox::Show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                     const QStringList &buttons, int defaultButton)
{
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        answered_.append(text);
        return answer;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QList<QPushButton *> pushButtons;
    for (const QString &caption : buttons)
        pushButtons.append(box.addButton(caption, QMessageBox::AcceptRole));
    if (defaultButton >= 0 && defaultButton < pushButtons.size())
        box.setDefaultButton(pushButtons[defaultButton]);
    box.exec();
    return int(pushButtons.indexOf(static_cast<QPushButton *>(box.clickedButton())));
}

void MessageBox::Information(QWidget *parent, const QString &text)
{
    Show(parent, QMessageBox::Information, Title, text, {QStringLiteral("OK")});
}
