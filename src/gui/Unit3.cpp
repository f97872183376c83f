#include "Unit3.h"

#include "Accessibility.h"
#include "Fonts.h"
#include "texts/window_texts.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

TForm3::TForm3(QWidget *parent)
    : QDialog(parent,
              // A dialog frame: caption and close box only.
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                  Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("Form3");
    setWindowTitle("Vexa");
    setFixedSize(329, 54);
    setModal(false);
    // Placed once where it was designed; afterwards it stays wherever the
    // user has put it.
    move(DesignedLeft, DesignedTop);

    StaticText1 = new QLabel(this);
    StaticText1->setObjectName("StaticText1");
    // The dialog's status bar to screen readers, each result announced.
    MarkStatusText(StaticText1, QString::fromStdString(texts::StatusBarName()));
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->move(4, 4);
    StaticText1->adjustSize();

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(4, 28, 273, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QString::fromStdString(texts::ProgressBarName()));
    progress_.Attach(ProgressBar1);

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(282, 24, 42, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    // The designed 54-pixel height holds the window's font, whatever a
    // platform theme prefers.
    setFont(UiFont());
    HoldFonts(this);
    HoldFocusRing(this);
}

void TForm3::ShowDialog()
{
    show();
    raise();
    activateWindow();
}

void TForm3::KeepClearOf(const QRect &area, const QRect &screen)
{
    // Before the window manager has framed the dialog its frame is taken
    // to be as high as a caption bar.
    QRect outer = frameGeometry();
    if (outer.size() == size()) outer.setSize(size() + QSize(8, 34));
    if (!outer.intersects(area)) return;
    QPoint at(outer.x(), area.bottom() + 1);
    if (screen.isValid() && at.y() + outer.height() > screen.bottom() + 1) at.setY(area.top() - outer.height());
    if (screen.isValid())
        at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - outer.width())));
    move(at);
}

void TForm3::SetStatusText(const QString &text)
{
    StaticText1->setText(text);
    StaticText1->adjustSize();
    AnnounceStatus(StaticText1);
}

void TForm3::Button1Click()
{
    hide();
}
