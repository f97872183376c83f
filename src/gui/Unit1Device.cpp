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
#include "Controls.h"
#include "CommandScope.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "configbits/ConfigEdit.h"
#include "image/dump.h"
#include "link/discovery.h"
#include "link/identify.h"
#include "support/textutil.h"
#include "texts/frontend_texts.h"
#include "texts/operation_texts.h"

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

namespace {

} // namespace

int TForm1::Selected() const
{
    return device_->ComboBox1->currentIndex();
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
    const QSignalBlocker block(device_->ComboBox1);
    device_->ComboBox1->clear();
    device_->ComboBox1->addItems(names);
    device_->ComboBox1->setCurrentIndex(-1);
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
        const QSignalBlocker block(device_->ComboBox1);
        device_->ComboBox1->setCurrentIndex(position);
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
        SetStatus(texts::SelectDeviceStatus());
        return;
    }
    AddLog(DevicePickText(pick));
    // The part already selected keeps its buffer; another one is selected
    // as from the list, which clears the buffer for it.
    if (pick.Device.Pic18 != Pic18 || pick.Device.Index != Selected()) {
        if (pick.Device.Pic18 != Pic18) FillDeviceList(pick.Device.Pic18);
        {
            const QSignalBlocker block(device_->ComboBox1);
            device_->ComboBox1->setCurrentIndex(pick.Device.Index);
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
    const std::string text = device_->ComboBox1->currentText().toStdString();
    if (text == Pic16SwitchName || text == Pic18SwitchName) {
        FillDeviceList(text == Pic18SwitchName);
        const QSignalBlocker block(device_->ComboBox1);
        device_->ComboBox1->setCurrentIndex(1);
    }
    SetConfigFamily(Pic18);
    device_->SetNoIdColour(!Pic18 && SelectedDevice() && SelectedDevice()->DeviceId == 0);
    BufferClear();
    presenter_->Edit3->clear();
    CommandLock(false);
    ForgetCurrentFile();
    config_->CheckBox1->setChecked(false);
    config_->CheckBox2->setChecked(false);
    config_->CheckBox1->setEnabled(true);
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
        config_->CheckBox1->setChecked(false);
        config_->CheckBox2->setChecked(false);
    } else {
        const TDeviceSpec *dev = SelectedDevice();
        if (!dev) return false;
        session.Buffer.Clear(*dev);
        FileLacksConfiguration = false;
        RedrawBuffer();
        config_->CheckBox1->setChecked(false);
        config_->CheckBox2->setChecked(false);
        config_->CheckBox2->setEnabled(dev->CalibAddress1 != 0);
    }
    return true;
}

void TForm1::RefreshColours()
{
    if (refreshingColours_) return;
    refreshingColours_ = true;
    device_->SetNoIdColour(device_->NoIdRed());
    SetTextColour(device_->StaticText2, CurrentFileColour);
    for (QLabel *warning : {config_->Label9, config_->Label10})
        SetTextColour(warning, Qt::red);
    options_->RefreshPortLooks();
    for (QLineEdit *field : config_->ValueFields())
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

void TForm1::DumpProgram()
{
    dumps_->Label1->setText(Q(ProgramDumpHeader(Pic18)));
    if (const TDeviceSpec18 *dev = SelectedDevice18())
        ShowDump(dumps_->Memo1, ProgramDumpText(session.Buffer, *dev));
    else if (const TDeviceSpec *dev = SelectedDevice())
        ShowDump(dumps_->Memo1, ProgramDumpText(session.Buffer, *dev));
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
    dumps_->Memo2->hide();
    if (size == 0) return; // no data EEPROM: the view stays hidden
    dumps_->Memo2->setPlainText(Q(text));
    dumps_->Memo2->show();
}

void TForm1::DumpConfig()
{
    config_->Label5->setText(Q(ConfigDumpHeader(Pic18)));
    if (SelectedDevice18())
        ShowDump(config_->Memo3, ConfigDumpText18(session.Buffer));
    else if (const TDeviceSpec *dev = SelectedDevice())
        ShowDump(config_->Memo3, ConfigDumpText(session.Buffer, *dev));
}

void TForm1::FillConfigFields()
{
    if (SelectedDevice18()) {
        const auto addresses = ConfigAddresses18();
        const auto values = ConfigValues18(session.Buffer);
        for (int n = 0; n < 7; ++n) {
            config_->Config18Addresses()[n]->setText(Q(addresses[n]));
            SetValueText(config_->Config18Values()[n], values[n]);
            SetWritable(config_->Config18Values()[n], config_->CheckBox1->isChecked());
        }
    } else if (const TDeviceSpec *dev = SelectedDevice()) {
        const auto slotValues = ConfigSlots(session.Buffer, *dev, config_->CheckBox1->isChecked(),
                                            config_->CheckBox2->isChecked());
        for (int i = 0; i < 4; ++i) {
            config_->SlotAddresses()[i]->setText(Q(slotValues[i].Address));
            SetValueText(config_->SlotValues()[i], slotValues[i].Value);
            config_->ApplySlotState(i, int(slotValues[i].State));
        }
    }
}

void TForm1::SetConfigFamily(bool pic18)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             config_->Label12, config_->Label13, config_->Label14, config_->Label15, config_->Label16,
             config_->Edit5, config_->Edit7, config_->Edit8, config_->Edit9, config_->Edit10, config_->Edit11,
             config_->MaskEdit4, config_->MaskEdit5, config_->MaskEdit6, config_->MaskEdit7,
             config_->MaskEdit8, config_->MaskEdit9})
        w->setEnabled(pic18);
    for (QWidget *w :
         std::initializer_list<QWidget *>{config_->Label2, config_->Label4, config_->Edit1, config_->Edit2,
                                          config_->MaskEdit1, config_->MaskEdit2, config_->CheckBox2})
        w->setEnabled(!pic18);
}

void TForm1::CheckBox1Click()
{
    config_->Label9->setEnabled(config_->CheckBox1->isChecked());
    config_->Button18->setEnabled(config_->CheckBox1->isChecked());
    FillConfigFields();
    UpdateConfigBitsButton();
}

void TForm1::CheckBox2Click()
{
    config_->Label10->setEnabled(config_->CheckBox2->isChecked());
    if (!Pic18) FillConfigFields();
}

void TForm1::Button18Click()
{
    if (SelectedDevice18()) {
        std::array<std::string, 7> values;
        for (int k = 0; k < 7; ++k)
            values[k] = config_->Config18Values()[k]->text().toStdString();
        StoreConfigBytes18(session.Buffer, values);
    } else if (const TDeviceSpec *dev = SelectedDevice()) {
        StoreConfigWords(session.Buffer, *dev, config_->MaskEdit3->text().toStdString(),
                         config_->MaskEdit4->text().toStdString());
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
    device_->StaticText2->setText(Q(slash == std::string::npos ? path : path.substr(slash + 1)));
}

void TForm1::ForgetCurrentFile()
{
    CurrentFile.clear();
    device_->StaticText2->clear();
}

void TForm1::FocusAfterDeviceList()
{
    // The status line is what a click moves the focus away from; it never
    // receives it this way, also not in Small Box mode where it is the one
    // visible field.
    for (QWidget *w = device_->ComboBox1->nextInFocusChain(); w && w != device_->ComboBox1;
         w = w->nextInFocusChain()) {
        if (w != presenter_->Edit3 && w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->isVisible()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}
