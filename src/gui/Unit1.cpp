// Main window construction, layout and the window events.
#include "Unit1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "Accessibility.h"
#include "Colours.h"
#include "link/SerialDevices.h"
#include "StepColumns.h"
#include "Unit3.h"
#include "image/dump.h"
#include "image/hex_load.h"

QFont UiFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(12);
    return font;
}

QFont FixedFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(12);
    return font;
}

void HoldFonts(QWidget *root)
{
    // Parents come before their children, so each takes its parent's font
    // as already held.
    for (QWidget *w : root->findChildren<QWidget *>())
        if (!w->isWindow() && !w->testAttribute(Qt::WA_SetFont)) w->setFont(w->parentWidget()->font());
}

TRadioGroup::TRadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this))
{
    // Captions close to their circles, so that two items fit the designed
    // width in fonts wider than the designed one.
    setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
    for (int i = 0; i < items.size(); ++i)
        group_->addButton(new QRadioButton(items[i], this), i);
    connect(group_, &QButtonGroup::idClicked, this, [this](int) { emit Click(); });
}

// The items stand in one row, each as wide as its caption needs in the font
// in use, the space left over shared out between them.
void TRadioGroup::resizeEvent(QResizeEvent *event)
{
    QGroupBox::resizeEvent(event);
    const QList<QAbstractButton *> items = group_->buttons();
    const int margin = 5;
    int needed = 0;
    for (QAbstractButton *b : items)
        needed += b->sizeHint().width();
    const int gap =
        items.size() > 1 ? std::max(2, int((width() - 2 * margin - needed) / (items.size() - 1))) : 0;
    int x = margin;
    for (QAbstractButton *b : items) {
        b->setGeometry(x, 16, b->sizeHint().width(), 16);
        x += b->width() + gap;
    }
}

int TRadioGroup::ItemIndex() const
{
    return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (auto *button = group_->button(index)) button->setChecked(true);
}

QRadioButton *TRadioGroup::Item(int index) const
{
    return static_cast<QRadioButton *>(group_->button(index));
}

Session::Session(std::unique_ptr<SerialBackend> backend, PortPathResolver resolver)
    : Port(std::move(backend), std::move(resolver))
{
}

namespace {

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setGeometry(geometry);
    return b;
}

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                        QRect geometry)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setToolTip(hint);
    c->setGeometry(geometry);
    return c;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QPlainTextEdit *MakeDump(QWidget *parent, const char *name)
{
    auto *m = new QPlainTextEdit(parent);
    m->setObjectName(name);
    m->setReadOnly(true);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setFont(FixedFont());
    m->setUndoRedoEnabled(false);
    m->document()->setDocumentMargin(2);
    // The caret moves with the arrow and page keys, so a screen reader
    // reads the dump line by line; the frame says when it has the focus.
    m->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m->setStyleSheet(QStringLiteral("QPlainTextEdit:focus { border: 2px solid palette(highlight); }"));
    return m;
}

} // namespace

TForm1::TForm1(std::unique_ptr<SerialBackend> backend, const std::string &settingsPath, QWidget *parent)
    // Only the buttons named here, no maximise box: window managers add the
    // rest unless the hints are taken as given.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session(backend ? std::move(backend) : MakePosixSerialBackend(),
              [this](const std::string &name) {
                  return Settings ? ComPortDevice(*Settings, name) : std::string();
              }),
      Settings(std::make_unique<SettingsFile>(settingsPath.empty() ? DefaultSettingsPath() : settingsPath))
{
    setObjectName("Form1");
    // A window to screen readers, not a filler.
    MarkAccessibleRole(this, QAccessible::Window);
    setWindowTitle(VersionCaption);
    setFont(UiFont());
    CreateControls();
    // The designed client area; the outer constraints 480..490 x 337..800
    // less the frame the window was designed with (8 x 34).
    setMinimumSize(472, 303);
    setMaximumSize(482, 766);
    resize(DesignedClientWidth, DesignedClientHeight);
    move(DesignedLeft, DesignedTop);
    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A command still running would lose its port and buffer; the close
    // follows once it has ended.
    if (CloseMustWait()) {
        event->ignore();
        DeferClose();
        return;
    }
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose || !FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // A desktop that changes its palette (a dark theme) gets the coloured
    // texts made readable on it.
    if (event->type() == QEvent::PaletteChange) RefreshColours();
}

void TForm1::CreateControls()
{
    CreateTopRow();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    // Five captions must fit the designed width without scroll arrows.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->tabBar()->setStyleSheet("QTabBar::tab { padding: 3px 5px; }");
    CreateDumpTabs();
    CreateConfigTab();
    CreateOptionTab();
    CreateMessageTab();
    CreateCommandRow();
    CreateMenus();

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setText("&Programmer");
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(1, 1, 66, 16);
    SpeedButton1->hide();
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    PageControl1->setCurrentIndex(OptionTab);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);

    for (QWidget *w : findChildren<QWidget *>())
        w->setToolTipDuration(10000);
    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->installEventFilter(this);
    setToolTipDuration(10000);
    for (QWidget *w : {static_cast<QWidget *>(GroupBox1), static_cast<QWidget *>(GroupBox2),
                       static_cast<QWidget *>(StaticText1), static_cast<QWidget *>(StaticText2),
                       static_cast<QWidget *>(Edit3)})
        w->installEventFilter(this);
    HoldFonts(this);
    HoldFocusRing(this);
    LayoutAnchored();
}

void TForm1::CreateTopRow()
{
    GroupBox1 = new QGroupBox("DEVICE", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(4, 0, 196, 44);
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName("ComboBox1");
    NameDropDown(ComboBox1, "DEVICE");
    ComboBox1->setEditable(false);
    // A list of 23 rows under the field; some styles would otherwise open a
    // popup over the whole screen and ignore the row count.
    ComboBox1->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    ComboBox1->setMaxVisibleItems(23);
    ComboBox1->setGeometry(6, 16, 116, 22);
    ComboBox1->setToolTip("デバイスを選択すると、バッファの内容がクリアされます。");
    connect(ComboBox1, &QComboBox::activated, this, [this](int) { ComboBox1Change(); });
    ComboBox1->installEventFilter(this);

    StaticText1 = MakeLabel(GroupBox1, "StaticText1", "No ID!", QRect(126, 17, 64, 20));
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont bold = UiFont();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setToolTip("\"No ID!\"が赤く出るデバイスはDEVICE-IDがチェックできません。");
    SetNoIdColour(false);

    GroupBox2 = new QGroupBox("Current File", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(204, 0, 208, 44);
    StaticText2 = MakeLabel(GroupBox2, "StaticText2", "", QRect(6, 18, 150, 18));
    MarkStatusText(StaticText2, "Current File", QAccessible::StaticText);
    StaticText2->setFont(bold);
    SetTextColour(StaticText2, CurrentFileColour);
    StaticText2->setToolTip(
        "[LOAD] ボタンと \"LoadNewFile\" 以外の全ての \"Load\" でカレントファイルがロードされます。");
    Button19 = MakeButton(GroupBox2, "Button19", "Reset", "カレントファイルをリセットします。",
                          QRect(160, 15, 44, 24));
    connect(Button19, &QPushButton::clicked, this, &TForm1::Button19Click);

    Button8 = MakeButton(this, "Button8", "END", "Tarnvikを終了します。", QRect(416, 8, 52, 34));
    connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
}

void TForm1::CreateCommandRow()
{
    struct ButtonLook {
        QPushButton **button;
        const char *name;
        const char *caption;
        const char *hint;
        int width;
        void (TForm1::*handler)();
    };
    const ButtonLook buttons[] = {
        {&Button1, "Button1", "LOAD", "HEXファイルからバッファにプログラムやデータを読み込みます。", 44,
         &TForm1::Button1Click},
        {&Button2, "Button2", "SAVE", "バッファの内容をHEXファイルに書き込みます。", 40,
         &TForm1::Button2Click},
        {&Button3, "Button3", "READ", "PICからバッファにプログラムやデータを読み出します。", 42,
         &TForm1::Button3Click},
        {&Button4, "Button4", "PROG.", "PICにプログラムやデータを書き込みます。", 48, &TForm1::Button4Click},
        {&Button5, "Button5", "ERASE", "PICのプログラムやデータを消去します。", 48, &TForm1::Button5Click},
        {&Button6, "Button6", "BLANK?", "PICのメモリが消去されているか調べます。", 56, &TForm1::Button6Click},
        {&Button7, "Button7", "VERIFY", "PICのメモリ内のプログラムやデータとバッファの内容を比較します。", 52,
         &TForm1::Button7Click},
        {&Button13, "Button13", "Buffer CLEAR", "バッファをクリアします。", 86, &TForm1::Button13Click},
    };
    int x = 3;
    for (const ButtonLook &s : buttons) {
        *s.button = MakeButton(this, s.name, s.caption, s.hint, QRect(x, 0, s.width, 25));
        (*s.button)->setEnabled(false);
        connect(*s.button, &QPushButton::clicked, this, s.handler);
        // LOAD, PROG. and ERASE leave room for their "v" on the right.
        const bool withMenu = *s.button == Button1 || *s.button == Button4 || *s.button == Button5;
        x += s.width + (withMenu ? 12 : 0) + 2;
    }
    // The "v" buttons sit at the right edge of LOAD, PROG. and ERASE.
    QFont bold = UiFont();
    bold.setBold(true);
    auto vButton = [&](QPushButton *&b, const char *name, const char *hint, void (TForm1::*handler)()) {
        b = MakeButton(this, name, "v", hint, QRect(0, 0, 12, 25));
        b->setFont(bold);
        b->setEnabled(false);
        connect(b, &QPushButton::clicked, this, handler);
    };
    vButton(Button16, "Button16", "ファイルロードメニュー", &TForm1::Button16Click);
    vButton(Button14, "Button14", "プログラミングメニュー", &TForm1::Button14Click);
    vButton(Button15, "Button15", "消去メニュー", &TForm1::Button15Click);
    // Read out as what they open rather than as "v".
    for (auto [main, v] : {std::pair{Button1, Button16}, {Button4, Button14}, {Button5, Button15}})
        v->setAccessibleName(main->text() + "のメニュー");
    // Tab reaches each "v" right after the button it belongs to.
    for (auto [main, v] : {std::pair{Button1, Button16}, {Button4, Button14}, {Button5, Button15}})
        setTabOrder(main, v);

    Edit3 = new QLineEdit(this);
    Edit3->setObjectName("Edit3");
    // The window's status bar to screen readers, each new text announced.
    MarkStatusText(Edit3, "ステータス");
    connect(Edit3, &QLineEdit::textChanged, this, [this] { AnnounceStatus(Edit3); });
    Edit3->setText("Message");
    Edit3->setReadOnly(true);
    Edit3->setFocusPolicy(Qt::ClickFocus);
    Edit3->setToolTip("Messageタブに詳細なメッセージがある場合もあります。");

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setToolTip("Program Memory、Data Memoryの順に経過を表示します。");
    ProgressBar1->setAccessibleName("進行状況");
    mainProgress_.Attach(ProgressBar1);

    spareBar_ = new QProgressBar(this);
    spareBar_->hide();
    noDialogProgress_.Attach(spareBar_);
}

void TForm1::CreateDumpTabs()
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    Label1 = MakeLabel(TabSheet1, "Label1",
                       QString::fromStdString(
                           std::string("ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----")),
                       QRect(4, 1, 450, 14));
    Memo1 = MakeDump(TabSheet1, "Memo1");
    Memo1->setAccessibleName("Program Memory");
    PageControl1->addTab(TabSheet1, "Program Memory");

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    Label3 = MakeLabel(TabSheet2, "Label3",
                       "ADDR  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ----- ASCII-----",
                       QRect(4, 1, 450, 14));
    Memo2 = MakeDump(TabSheet2, "Memo2");
    Memo2->setAccessibleName("Data Memory");
    PageControl1->addTab(TabSheet2, "Data Memory");

    // Each header names the columns of the dump under it.
    for (auto [header, dump] : {std::pair{Label1, Memo1}, {Label3, Memo2}}) {
        header->setFont(FixedFont());
        header->setBuddy(dump);
    }
    // Blank views until the first device is selected.
    Memo1->setPlainText(QString::fromStdString(InitialProgramDumpText()));
    Memo2->setPlainText(QString::fromStdString(InitialDataDumpText()));
}

void TForm1::CreateConfigTab()
{
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    Label5 =
        MakeLabel(TabSheet3, "Label5", "ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----",
                  QRect(4, 1, 450, 14));
    Label5->setFont(FixedFont());
    Memo3 = MakeDump(TabSheet3, "Memo3");
    Memo3->setAccessibleName("Configuration Memory");
    Label5->setBuddy(Memo3);
    Memo3->setGeometry(2, 16, 452, 38);
    Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo3->setPlainText(QString::fromStdString(InitialConfigDumpText()));

    const QString valueHint = "書き換える場合には、Data Sheetなどで確認してください。";
    struct Slot {
        QLabel **label;
        const char *labelName;
        const char *caption;
        QLineEdit **address;
        const char *addressName;
        QLineEdit **value;
        const char *valueName;
        const char *initial;
        int column, row;
    };
    const Slot fields[] = {
        {&Label6, "Label6", "Config1", &Edit4, "Edit4", &MaskEdit3, "MaskEdit3", "3FFF", 0, 0},
        {&Label8, "Label8", "Config2", &Edit5, "Edit5", &MaskEdit4, "MaskEdit4", "3FFF", 0, 1},
        {&Label2, "Label2", "CAL1", &Edit1, "Edit1", &MaskEdit1, "MaskEdit1", "0000", 0, 2},
        {&Label4, "Label4", "CAL2", &Edit2, "Edit2", &MaskEdit2, "MaskEdit2", "0000", 0, 3},
        {&Label12, "Label12", "Config3", &Edit7, "Edit7", &MaskEdit5, "MaskEdit5", "3FFF", 1, 0},
        {&Label13, "Label13", "Config4", &Edit8, "Edit8", &MaskEdit6, "MaskEdit6", "3FFF", 1, 1},
        {&Label14, "Label14", "Config5", &Edit9, "Edit9", &MaskEdit7, "MaskEdit7", "3FFF", 1, 2},
        {&Label15, "Label15", "Config6", &Edit10, "Edit10", &MaskEdit8, "MaskEdit8", "3FFF", 1, 3},
        {&Label16, "Label16", "Config7", &Edit11, "Edit11", &MaskEdit9, "MaskEdit9", "3FFF", 1, 4},
    };
    for (const Slot &s : fields) {
        const int x = 4 + s.column * 130, y = 56 + s.row * 19;
        *s.label = MakeLabel(TabSheet3, s.labelName, s.caption, QRect(x, y, 48, 18));
        auto *address = new QLineEdit("0000:", TabSheet3);
        address->setObjectName(s.addressName);
        address->setReadOnly(true);
        address->setFont(FixedFont());
        address->setGeometry(x + 48, y, 40, 18);
        *s.address = address;
        auto *value = new QLineEdit(TabSheet3);
        value->setObjectName(s.valueName);
        value->setInputMask(">HHHH;_");
        value->setText(s.initial);
        value->setFont(FixedFont());
        value->setToolTip(valueHint);
        value->setContextMenuPolicy(Qt::NoContextMenu);
        value->setAcceptDrops(false);
        value->setGeometry(x + 90, y, 38, 18);
        value->installEventFilter(this);
        *s.value = value;
        // Read out as the slot they belong to, not as a bare text.
        (*s.label)->setBuddy(value);
        value->setAccessibleName(s.caption);
        address->setAccessibleName(QString(s.caption) + " のアドレス");
    }

    CheckBox1 = MakeCheckBox(TabSheet3, "CheckBox1", "Configデータを変更する",
                             "バッファのConfigワードを書き換えます", QRect(264, 55, 194, 20));
    CheckBox1->setEnabled(false);
    // Under the Config1/Config2 values it stores.
    Button18 = MakeButton(TabSheet3, "Button18", "Set", "バッファ書き換え", QRect(52, 133, 78, 22));
    Button18->setEnabled(false);
    Label9 = MakeLabel(TabSheet3, "Label9", "バッファのConfigワードを変更", QRect(268, 76, 190, 18));
    CheckBox2 = MakeCheckBox(TabSheet3, "CheckBox2", "CALIBデータを変更する",
                             "[ERASE]時にCalibrationDataを書き換えます。", QRect(264, 96, 194, 20));
    CheckBox2->setEnabled(false);
    Label10 = MakeLabel(TabSheet3, "Label10", "[ERASE]時にCALIBデータを変更。", QRect(264, 117, 194, 18));
    for (QLabel *warning : {Label9, Label10}) {
        // Red while enabled; a disabled label keeps the usual grey.
        SetTextColour(warning, Qt::red);
        warning->setEnabled(false);
    }
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
    connect(Button18, &QPushButton::clicked, this, &TForm1::Button18Click);
    CreateConfigBitsButton();

    PageControl1->addTab(TabSheet3, "Configuration Memory");
}

void TForm1::CreateOptionTab()
{
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");

    GroupBox3 = new QGroupBox("Port No.", TabSheet4);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setToolTip("オレンジ：Tarnbox、黒：未接続、グレー：使用不可");
    GroupBox3->setGeometry(4, 0, 264, 82);
    PortButtons = new QButtonGroup(this);
    for (int i = 0; i < 10; ++i) {
        auto *r = new QRadioButton(QString("COM%1").arg(i + 1), GroupBox3);
        r->setObjectName(QString("RadioButton%1").arg(i + 1));
        r->setGeometry(6 + (i % 4) * 62, 16 + (i / 4) * 21, i == 9 ? 72 : 62, 18);
        PortButtons->addButton(r, i + 1);
        RadioButton[i] = r;
    }

    Button10 =
        MakeButton(TabSheet4, "Button10", "Open",
                   "開いているポートを一旦クローズした後、ポートをオープンします。", QRect(4, 86, 50, 23));
    Button11 = MakeButton(TabSheet4, "Button11", "Close", "ポートをクローズします。", QRect(56, 86, 50, 23));
    Button20 = MakeButton(TabSheet4, "Button20", "Search", "ポートの状態を調べます", QRect(108, 86, 56, 23));
    Button12 =
        MakeButton(TabSheet4, "Button12", "Version", "バージョンを表示します。", QRect(166, 86, 60, 23));
    CheckBox4 = MakeCheckBox(TabSheet4, "CheckBox4", "COM Port is fixed",
                             "次回起動時のCOM Portを固定します。", QRect(274, 102, 150, 20));
    connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
    connect(Button20, &QPushButton::clicked, this, &TForm1::Button20Click);
    connect(CheckBox4, &QCheckBox::clicked, this, &TForm1::CheckBox4Click);

    CheckBox7 = MakeCheckBox(TabSheet4, "CheckBox7", "CTRL", "制御線RTS-DTRの設定を有効にします",
                             QRect(4, 126, 58, 20));
    connect(CheckBox7, &QCheckBox::clicked, this, &TForm1::CheckBox7Click);
    RadioGroup2 = new TRadioGroup("RTS", {"OFF", "ON"}, TabSheet4);
    RadioGroup2->setObjectName("RadioGroup2");
    RadioGroup2->setToolTip("制御線RTSのON/OFFを設定します。");
    RadioGroup2->setGeometry(62, 112, 98, 38);
    RadioGroup2->SetItemIndex(1);
    RadioGroup2->setEnabled(false);
    RadioGroup3 = new TRadioGroup("DTR", {"OFF", "ON"}, TabSheet4);
    RadioGroup3->setObjectName("RadioGroup3");
    RadioGroup3->setToolTip("制御線DTRのON/OFFを設定します。");
    RadioGroup3->setGeometry(162, 112, 98, 38);
    RadioGroup3->SetItemIndex(0);
    RadioGroup3->setEnabled(false);
    connect(RadioGroup2, &TRadioGroup::Click, this, &TForm1::RadioGroup2Click);
    connect(RadioGroup3, &TRadioGroup::Click, this, &TForm1::RadioGroup3Click);
    Edit6 = new QLineEdit(" 200", TabSheet4);
    Edit6->setObjectName("Edit6");
    Edit6->setToolTip("ポートオープン後の待ち時間を指定します");
    Edit6->setAlignment(Qt::AlignRight);
    Edit6->setGeometry(264, 126, 34, 20);
    Edit6->setEnabled(false);
    Edit6->installEventFilter(this);
    Label7 = MakeLabel(TabSheet4, "Label7", "ms", QRect(300, 128, 20, 16));
    Label7->setBuddy(Edit6);
    Edit6->setAccessibleName("ポートオープン後の待ち時間 (ms)");

    CheckBox3 = MakeCheckBox(TabSheet4, "CheckBox3", "[VERIFY] User-ID", "User-IDもVERIFY対象とします",
                             QRect(274, 2, 170, 18));
    CheckBox9 = MakeCheckBox(TabSheet4, "CheckBox9", "[READ] Small Block",
                             "データを小さいブロックサイズで受信します。", QRect(274, 20, 170, 18));
    CheckBox8 = MakeCheckBox(TabSheet4, "CheckBox8", "[SAVE] All Memory",
                             "データが'3FFF'（'FF'）のアドレスもHEXファイルに書き出します。",
                             QRect(274, 38, 170, 18));
    CheckBox6 =
        MakeCheckBox(TabSheet4, "CheckBox6", "[DEVICE] Auto Select",
                     "HEXファイル内の情報によって[DEVICE]を自動選択します。", QRect(274, 56, 170, 18));
    connect(CheckBox3, &QCheckBox::clicked, this, &TForm1::CheckBox3Click);
    connect(CheckBox9, &QCheckBox::clicked, this, &TForm1::CheckBox9Click);
    connect(CheckBox8, &QCheckBox::clicked, this, &TForm1::CheckBox8Click);
    connect(CheckBox6, &QCheckBox::clicked, this, &TForm1::CheckBox6Click);

    Button17 = MakeButton(TabSheet4, "Button17", "Small Box",
                          "MPLABのメニュー ”Programmer\" に重ねて使用します。", QRect(274, 77, 72, 23));
    CheckBox5 = MakeCheckBox(TabSheet4, "CheckBox5", "NoBorder", "Small Box の枠を表示しないようにします。",
                             QRect(352, 79, 90, 20));
    connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);
    connect(Button17, &QPushButton::clicked, this, &TForm1::Button17Click);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);

    // Down the left column and then the right one: "COM Port is fixed"
    // stands last in the right column.
    setTabOrder(CheckBox5, CheckBox4);

    PageControl1->addTab(TabSheet4, "Option");
}

void TForm1::CreateMessageTab()
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
    Button9 = MakeButton(TabSheet5, "Button9", "CLEAR", "メッセージをクリアします。", QRect(0, 0, 60, 22));
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    PageControl1->addTab(TabSheet5, "Message");
}

void TForm1::CreateMenus()
{
    auto add = [this](QMenu *menu, const QString &caption, void (TForm1::*handler)()) {
        QAction *a = menu->addAction(caption);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    add(PopupMenu1, QString(53, ' ') + ">Program >Verify", &TForm1::Program1Click);
    add(PopupMenu1, QString(25, ' ') + ">Erase >BlankCheck >Program >Verify",
        &TForm1::EraseBlankCheckProgramVerify1Click);
    add(PopupMenu1, ">BufferClear >Load" + QString(28, ' ') + ">Program >Verify",
        &TForm1::BufferClearLoadProgramVerify1Click);
    add(PopupMenu1, ">BufferClear >Load >Erase >BlankCheck >Program >Verify",
        &TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    add(PopupMenu2, ">Erase >BlankCheck", &TForm1::EraseBlankCheck1Click);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName("PopupMenu3");
    add(PopupMenu3, ">BufferClear >LoadNewFile", &TForm1::BufferClearLoadNewFile1Click);
    add(PopupMenu3, ">BufferClear >LoadCurrentFile", &TForm1::BufferClearLoadCurrentFile1Click);

    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName("PopupMenu4");
    add(PopupMenu4, "Reset Current &File", &TForm1::ResetCurrentFile1Click);
    QMenu *load = PopupMenu4->addMenu("&Load");
    add(load, "Load &New File", &TForm1::LoadNewFile1Click);
    add(load, "Load &Current File", &TForm1::LoadCurrentFile1Click);
    add(PopupMenu4, "&Save", &TForm1::Save1Click);
    add(PopupMenu4, "&Read", &TForm1::Read1Click);
    QMenu *program = PopupMenu4->addMenu("&Program");
    add(program, "&Program", &TForm1::Program3Click);
    add(program, "Program &Current File", &TForm1::LoadEraseprogramVerify1Click);
    add(PopupMenu4, "&Erase", &TForm1::Erase1Click);
    add(PopupMenu4, "&Blank Check", &TForm1::BlankCheck1Click);
    add(PopupMenu4, "&Verify", &TForm1::Verify1Click);
    add(PopupMenu4, "Re&turn to Settings...", &TForm1::ReturntoSettings1Click);
    // The device list's context menu picks the part from the DEVICE-ID of the
    // chip in the socket.
    PopupMenu5 = new QMenu(this);
    PopupMenu5->setObjectName("PopupMenu5");
    add(PopupMenu5, "DEVICE-IDからデバイスを選択", &TForm1::PickDevice1Click)->setObjectName("PickDevice1");
    ComboBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ComboBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu5->popup(ComboBox1->mapToGlobal(at)); });
    for (QMenu *m : {PopupMenu1, PopupMenu2, PopupMenu3, PopupMenu5})
        m->setFont(UiFont());
    PopupMenu1->setStyle(new StepColumnStyle(PopupMenu1->actions().back()->text(), this));
}

// The command row, the status line and the progress bar keep their distance
// from the bottom edge; the tab area takes whatever height is left.
void TForm1::LayoutAnchored()
{
    const int w = width(), h = height();
    const int rowTop = h - 73;
    PageControl1->setGeometry(4, 45, w - 8, rowTop - 47);
    for (QPushButton *b : {Button1, Button2, Button3, Button4, Button5, Button6, Button7, Button13})
        b->move(b->x(), rowTop);
    auto atRightEdge = [](QPushButton *v, QPushButton *main) {
        v->move(main->x() + main->width(), main->y());
        v->raise();
    };
    atRightEdge(Button16, Button1);
    atRightEdge(Button14, Button4);
    atRightEdge(Button15, Button5);
    Edit3->setGeometry(4, h - 45, w - 8, 22);
    ProgressBar1->setGeometry(4, h - 19, w - 8, 16);

    // Page contents follow the page size.
    // All pages share the size of the shown one.
    const QSize page = PageControl1->currentWidget()->size();
    Memo1->setGeometry(2, 16, page.width() - 4, page.height() - 18);
    Memo2->setGeometry(2, 16, page.width() - 4, page.height() - 18);
    Memo4->setGeometry(2, 2, page.width() - 4, page.height() - 30);
    Button9->move(page.width() - Button9->width() - 4, page.height() - 26);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    LayoutAnchored();
    FitStripToFrame();
    if (fitFramePending_ && frameGeometry().size() != size()) FitFrameOntoScreen();
}

void TForm1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (SmallBox.Dragging) SmallBox.MovedWhileDragging = true;
    // The window manager's frame arrives with the first move after mapping.
    FitStripToFrame();
    if (fitFramePending_ && frameGeometry().size() != size()) FitFrameOntoScreen();
}

void TForm1::FitOnceFramed()
{
    // The window manager's frame may arrive without a move or resize of its
    // own; the fit looks for it a while.
    if (!fitFramePending_) return;
    if (isVisible() && frameGeometry().size() != size())
        FitFrameOntoScreen();
    else if (fitTries_-- > 0)
        QTimer::singleShot(50, this, &TForm1::FitOnceFramed);
}

QRect TForm1::FitOntoScreen(const QRect &outer) const
{
    // The screen that shows most of the frame; none shows any of it: the
    // one the window is on.
    const QScreen *best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry().intersected(outer);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    if (!best) best = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!best) return outer;
    const QRect room = best->availableGeometry();
    QRect fitted(outer.topLeft(), outer.size().boundedTo(room.size()));
    fitted.moveLeft(std::clamp(fitted.left(), room.left(), room.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), room.top(), room.bottom() + 1 - fitted.height()));
    return fitted;
}

void TForm1::FitFrameOntoScreen()
{
    // Measured from where the window was placed: until the window manager
    // has settled the frame, the reported corner may be anywhere.
    const bool framed = frameGeometry().size() != size();
    if (framed) fitFramePending_ = false; // the real frame is known now
    if (isMaximized() || isFullScreen()) return;
    const QSize frame = framed ? frameGeometry().size() - size()
                        : SmallBox.Active && !SmallBox.Framed ? QSize(0, 0)
                                                               : FrameSize();
    const QRect outer(fitAt_, size() + frame);
    const QRect fitted = FitOntoScreen(outer);
    if (fitted.size() != outer.size()) resize(fitted.size() - frame);
    if (fitted.topLeft() != outer.topLeft()) {
        fitAt_ = fitted.topLeft();
        PlaceFrameAt(fitAt_);
    }
}

void TForm1::PlaceFrameAt(QPoint at)
{
    move(at);
    // Until the window manager has framed a new window Qt would put the
    // client area's corner there; the window system is told it is the
    // frame's, so the window appears where it was left.
    if (QWindow *w = windowHandle()) w->setFramePosition(at);
}

QSize TForm1::FrameSize() const
{
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() > 0 || frame.height() > 0) return frame;
    return {DesignedFrameWidth, DesignedFrameHeight};
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
    LayoutAnchored();
}

void TForm1::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    FormClick();
}

bool TForm1::DeviceListEvent(QEvent *event)
{
    // Choosing a part clears the buffer, so the closed list changes it only
    // when the user confirms one in the open list: a wheel turned over it
    // or a key that would step through it picks nothing.
    if (event->type() == QEvent::Wheel) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // The list opens at the selected part; Enter there confirms.
        ComboBox1->showPopup();
        return true;
    case Qt::Key_F10:
        // Shift+F10 opens the list's own menu as the Menu key does.
        if (key->modifiers() != Qt::ShiftModifier) return false;
        {
            const QPoint at = ComboBox1->rect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, ComboBox1->mapToGlobal(at));
            QApplication::sendEvent(ComboBox1, &menu);
        }
        return true;
    default:
        break;
    }
    // Typing a name looks it up in the open list instead.
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || text == QStringLiteral(" ") ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    ComboBox1->showPopup();
    ComboBox1->view()->keyboardSearch(text);
    return true;
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ComboBox1) return DeviceListEvent(event) || QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == GroupBox1 || watched == GroupBox2 || watched == StaticText1 || watched == StaticText2 ||
         watched == Edit3)) {
        // Let the click land first, then move the focus on.
        QTimer::singleShot(0, this, &TForm1::FormClick);
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (auto *button = qobject_cast<QPushButton *>(watched);
            button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            if (button->isEnabled()) button->click();
            return true;
        }
        for (QLineEdit *field : {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4, MaskEdit5, MaskEdit6, MaskEdit7,
                                 MaskEdit8, MaskEdit9}) {
            if (watched != field) continue;
            if (MaskEdit3KeyDown(key) || MaskEdit3KeyPress(key)) return true;
            // Typing over a selection would blank the rest of it; overwrite
            // from its start instead.
            if (!key->text().isEmpty() && field->hasSelectedText())
                field->setCursorPosition(field->selectionStart());
            return false;
        }
        if (watched == Edit6) return Edit6KeyDown(key) || Edit6KeyPress(key);
    }
    return QWidget::eventFilter(watched, event);
}
