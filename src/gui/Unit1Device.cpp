// Device list, device selection, buffer clear, dump views and the
// configuration fields of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <cstdlib>

#include "Colours.h"
#include "CommandScope.h"
#include "configbits/ConfigEdit.h"
#include "Unit1.h"
#include "image/dump.h"
#include "link/discovery.h"
#include "link/identify.h"
#include "support/textutil.h"

namespace {

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

constexpr const char *HexMask = ">HHHH;_";

// A value field holds four hex digits under its mask, or the "----" of an
// absent slot, which the mask would not accept.
void SetValueText(QLineEdit *field, const std::string &text)
{
    const bool hex = ParseConfigField(text).has_value();
    if (hex && field->inputMask().isEmpty())
        field->setInputMask(HexMask);
    else if (!hex)
        field->setInputMask(QString());
    field->setText(Q(text));
}

} // namespace

// A field the user may not type into has the button colour of the palette
// in use behind the matching text colour; a disabled one keeps the palette's
// disabled look.
void SetWritable(QLineEdit *field, bool writable)
{
    field->setReadOnly(!writable);
    QPalette own;
    own.setResolveMask(0);
    if (!writable) {
        const QPalette &in = field->window()->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            // Where a scheme's button colour is close to its field colour
            // the window colour shows the difference instead.
            const bool likeField =
                std::abs(in.color(group, QPalette::Button).lightness() - in.color(group, QPalette::Base).lightness()) <
                24;
            own.setColor(group, QPalette::Base, in.color(group, likeField ? QPalette::Window : QPalette::Button));
            own.setColor(group, QPalette::Text,
                         in.color(group, likeField ? QPalette::WindowText : QPalette::ButtonText));
        }
    }
    field->setPalette(own);
}

namespace {

} // namespace

int TForm1::Selected() const
{
    return ComboBox1->currentIndex();
}

const TDeviceSpec *TForm1::SelectedDevice() const
{
    const int i = Selected();
    return !Pic18 && i >= 0 && i < DeviceTableSize ? &DeviceTable[i] : nullptr;
}

const TDeviceSpec18 *TForm1::SelectedDevice18() const
{
    const int i = Selected();
    return Pic18 && i >= 0 && i < DeviceTable18Size ? &DeviceTable18[i] : nullptr;
}

void TForm1::FillDeviceList(bool pic18)
{
    Pic18 = pic18;
    QStringList names;
    if (pic18)
        for (const TDeviceSpec18 &d : DeviceTable18)
            names << d.Name;
    else
        for (const TDeviceSpec &d : DeviceTable)
            names << d.Name;
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    ComboBox1->addItems(names);
    ComboBox1->setCurrentIndex(-1);
}

bool TForm1::SelectSavedDevice(const std::string &name)
{
    // Only a name of the family the list holds can be selected: a position
    // found in the other table would pick an unrelated device.
    int position = -1;
    if (Pic18) {
        for (int i = 0; i < DeviceTable18Size && position < 0; ++i)
            if (SameTextIgnoringCase(DeviceTable18[i].Name, name)) position = i;
    } else {
        for (int i = 0; i < DeviceTableSize && position < 0; ++i)
            if (SameTextIgnoringCase(DeviceTable[i].Name, name)) position = i;
    }
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(position);
    }
    if (position < 0) return false;
    SelectDevice();
    return true;
}

void TForm1::PickDevice1Click()
{
    CommandScope lock(*this);
    Link link{session.Port, session.Command, *this};
    if (!session.Port.IsOpen() || !IsProgrammerReply(AskProgrammerVersion(link))) {
        // The check tells what is missing in the words every command uses.
        OperationContext ctx = Context();
        DeviceCheck(ctx, false);
        return;
    }
    const DevicePick pick = PickDevice(IdentifyChip(link));
    if (pick.Outcome != DevicePick::Picked) {
        AddLogShowingMessages(DevicePickText(pick));
        SetStatus(" !! デバイスを選択してください。");
        return;
    }
    AddLog(DevicePickText(pick));
    // The part already selected keeps its buffer; another one is selected
    // as from the list, which clears the buffer for it.
    if (pick.Device.Pic18 != Pic18 || pick.Device.Index != Selected()) {
        if (pick.Device.Pic18 != Pic18) FillDeviceList(pick.Device.Pic18);
        {
            const QSignalBlocker block(ComboBox1);
            ComboBox1->setCurrentIndex(pick.Device.Index);
        }
        SelectDevice();
    }
    SetStatus(DevicePickText(pick));
}

void TForm1::ComboBox1Change()
{
    SelectDevice();
}

void TForm1::SelectDevice()
{
    if (Selected() < 0) return;
    const std::string text = ComboBox1->currentText().toStdString();
    if (text == Pic16SwitchName || text == Pic18SwitchName) {
        FillDeviceList(text == Pic18SwitchName);
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(1);
    }
    SetConfigFamily(Pic18);
    SetNoIdColour(!Pic18 && SelectedDevice() && SelectedDevice()->DeviceId == 0);
    BufferClear();
    Edit3->clear();
    CommandLock(false);
    ForgetCurrentFile();
    CheckBox1->setChecked(false);
    CheckBox2->setChecked(false);
    CheckBox1->setEnabled(true);
    NoteConfigNames();
}

bool TForm1::BufferClear()
{
    // A cleared buffer holds nothing of the last file.
    LastFindings = {};
    if (Pic18) {
        const TDeviceSpec18 *dev = SelectedDevice18();
        if (!dev) return false;
        session.Buffer.Clear(*dev);
        FileLacksConfiguration = false;
        RedrawBuffer();
        CheckBox1->setChecked(false);
        CheckBox2->setChecked(false);
    } else {
        const TDeviceSpec *dev = SelectedDevice();
        if (!dev) return false;
        session.Buffer.Clear(*dev);
        FileLacksConfiguration = false;
        RedrawBuffer();
        CheckBox1->setChecked(false);
        CheckBox2->setChecked(false);
        CheckBox2->setEnabled(dev->CalibAddress1 != 0);
    }
    return true;
}

void TForm1::SetNoIdColour(bool red)
{
    noIdRed_ = red;
    if (red) {
        SetTextColour(StaticText1, Qt::red);
        return;
    }
    // Silver as designed on a light palette: the palette's own grey for
    // what does not apply, on any palette.
    QPalette own;
    own.setResolveMask(0);
    const QColor grey = palette().color(QPalette::Disabled, QPalette::WindowText);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        own.setColor(group, QPalette::WindowText, grey);
    StaticText1->setPalette(own);
}

void TForm1::RefreshColours()
{
    if (refreshingColours_) return;
    refreshingColours_ = true;
    SetNoIdColour(noIdRed_);
    SetTextColour(StaticText2, CurrentFileColour);
    for (QLabel *warning : {Label9, Label10})
        SetTextColour(warning, Qt::red);
    for (int n = 1; n <= 10; ++n)
        if (RadioButton[n - 1]->testAttribute(Qt::WA_SetPalette)) SetPortLook(n, portLooks_[n - 1]);
    for (QLineEdit *field : {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4, MaskEdit5, MaskEdit6, MaskEdit7,
                             MaskEdit8, MaskEdit9})
        SetWritable(field, !field->isReadOnly());
    refreshingColours_ = false;
}

void TForm1::RedrawBuffer()
{
    DumpProgram();
    DumpData();
    DumpConfig();
    FillConfigFields();
}

void TForm1::ShowDump(QPlainTextEdit *memo, const std::string &text)
{
    // One assignment while hidden: the view lays out and repaints once.
    memo->hide();
    memo->setPlainText(Q(text));
    memo->show();
}

void TForm1::DumpProgram()
{
    Label1->setText(Q(ProgramDumpHeader(Pic18)));
    if (const TDeviceSpec18 *dev = SelectedDevice18())
        ShowDump(Memo1, ProgramDumpText(session.Buffer, *dev));
    else if (const TDeviceSpec *dev = SelectedDevice())
        ShowDump(Memo1, ProgramDumpText(session.Buffer, *dev));
}

void TForm1::DumpData()
{
    uint32_t size = 0;
    std::string text;
    if (const TDeviceSpec18 *dev = SelectedDevice18()) {
        size = dev->EEDataSize;
        text = DataDumpText(session.Buffer, *dev);
    } else if (const TDeviceSpec *dev = SelectedDevice()) {
        size = dev->EEDataSize;
        text = DataDumpText(session.Buffer, *dev);
    } else {
        return;
    }
    Memo2->hide();
    if (size == 0) return; // no data EEPROM: the view stays hidden
    Memo2->setPlainText(Q(text));
    Memo2->show();
}

void TForm1::DumpConfig()
{
    Label5->setText(Q(ConfigDumpHeader(Pic18)));
    if (SelectedDevice18())
        ShowDump(Memo3, ConfigDumpText18(session.Buffer));
    else if (const TDeviceSpec *dev = SelectedDevice())
        ShowDump(Memo3, ConfigDumpText(session.Buffer, *dev));
}

void TForm1::ApplySlotState(int slot, int state)
{
    SlotAddresses()[slot]->setEnabled(state > 0);
    QLineEdit *value = SlotValues()[slot];
    value->setEnabled(state > 0);
    SetWritable(value, state == 2);
}

void TForm1::FillConfigFields()
{
    if (SelectedDevice18()) {
        const auto addresses = ConfigAddresses18();
        const auto values = ConfigValues18(session.Buffer);
        for (int n = 0; n < 7; ++n) {
            Config18Addresses()[n]->setText(Q(addresses[n]));
            SetValueText(Config18Values()[n], values[n]);
            SetWritable(Config18Values()[n], CheckBox1->isChecked());
        }
    } else if (const TDeviceSpec *dev = SelectedDevice()) {
        const auto slotValues =
            ConfigSlots(session.Buffer, *dev, CheckBox1->isChecked(), CheckBox2->isChecked());
        for (int i = 0; i < 4; ++i) {
            SlotAddresses()[i]->setText(Q(slotValues[i].Address));
            SetValueText(SlotValues()[i], slotValues[i].Value);
            ApplySlotState(i, int(slotValues[i].State));
        }
    }
}

void TForm1::SetConfigFamily(bool pic18)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Label12, Label13, Label14, Label15, Label16, Edit5,
                                                       Edit7, Edit8, Edit9, Edit10, Edit11, MaskEdit4,
                                                       MaskEdit5, MaskEdit6, MaskEdit7, MaskEdit8, MaskEdit9})
        w->setEnabled(pic18);
    for (QWidget *w :
         std::initializer_list<QWidget *>{Label2, Label4, Edit1, Edit2, MaskEdit1, MaskEdit2, CheckBox2})
        w->setEnabled(!pic18);
}

void TForm1::CheckBox1Click()
{
    Label9->setEnabled(CheckBox1->isChecked());
    Button18->setEnabled(CheckBox1->isChecked());
    FillConfigFields();
    UpdateConfigBitsButton();
}

void TForm1::CheckBox2Click()
{
    Label10->setEnabled(CheckBox2->isChecked());
    if (!Pic18) FillConfigFields();
}

void TForm1::Button18Click()
{
    if (SelectedDevice18()) {
        std::array<std::string, 7> values;
        for (int k = 0; k < 7; ++k)
            values[k] = Config18Values()[k]->text().toStdString();
        StoreConfigBytes18(session.Buffer, values);
    } else if (const TDeviceSpec *dev = SelectedDevice()) {
        StoreConfigWords(session.Buffer, *dev, MaskEdit3->text().toStdString(),
                         MaskEdit4->text().toStdString());
    } else {
        return;
    }
    FileLacksConfiguration = false;
    DumpConfig();
    FillConfigFields();
}

bool TForm1::MaskEdit3KeyDown(QKeyEvent *event)
{
    // Digits can only be typed over: nothing may leave a gap in the four.
    return event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete ||
           event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste) ||
           event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord) ||
           event->matches(QKeySequence::DeleteEndOfLine) || event->matches(QKeySequence::DeleteCompleteLine);
}

bool TForm1::MaskEdit3KeyPress(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (event->modifiers() & Qt::ControlModifier)) return false;
    const QChar c = text.at(0);
    const bool hex =
        text.size() == 1 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'));
    return !hex;
}

void TForm1::SetCurrentFile(const std::string &path)
{
    CurrentFile = path;
    const auto slash = path.find_last_of('/');
    StaticText2->setText(Q(slash == std::string::npos ? path : path.substr(slash + 1)));
}

void TForm1::ForgetCurrentFile()
{
    CurrentFile.clear();
    StaticText2->clear();
}

void TForm1::FocusAfterDeviceList()
{
    // The status line is what a click moves the focus away from; it never
    // receives it this way, also not in Small Box mode where it is the one
    // visible field.
    for (QWidget *w = ComboBox1->nextInFocusChain(); w && w != ComboBox1; w = w->nextInFocusChain()) {
        if (w != Edit3 && w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->isVisible()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}
