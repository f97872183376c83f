// A titled group of radio buttons with one selected item, as the RTS and DTR
// choices on the Option tab.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QResizeEvent;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString &title, const QStringList &items, QWidget *parent);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton *Item(int index) const;

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QButtonGroup *group_;
};
