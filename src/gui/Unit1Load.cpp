// The load and save commands of the main window and the Small Box menu: the
// current file, device auto-selection from a file, and the error box of a
// file that cannot be read or written.
#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

#include "CommandScope.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "Unit3.h"
#include "image/checksum.h"
#include "image/hex_load.h"
#include "image/hex_write.h"
#include "support/FileErrorText.h"
#include "LoadReportLines.h"
#include "texts/load_texts.h"
#include "texts/image_texts.h"

std::string TForm1::CurrentFileName() const
{
    const auto slash = CurrentFile.find_last_of('/');
    return slash == std::string::npos ? CurrentFile : CurrentFile.substr(slash + 1);
}

bool TForm1::ChooseCurrentFile()
{
    const QString path = FileDialog::Open(this);
    if (path.isEmpty()) return false;
    SetCurrentFile(path.toStdString());
    return true;
}

void TForm1::ShowFileError(const HexFileError &error)
{
    MessageBox::Show(this, QMessageBox::Critical, MessageBox::Title,
                     QString::fromStdString(error.Path()) + "\n\n" +
                         QString::fromStdString(FileErrorReason(error.Error())),
                     {QStringLiteral("OK")});
}

void TForm1::LoadFailed(const HexFileError &error, const std::string &held)
{
    const std::string path = error.Path();
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string reason = FileErrorReason(error.Error());
    // The Current File names what the buffer holds, not the file that
    // failed.
    if (held.empty())
        ForgetCurrentFile();
    else
        SetCurrentFile(held);
    SetStatus(texts::CannotLoadStatus(name, reason));
    if (SmallBox.Active) SetDialogStatus(texts::CannotLoadStatus(name));
    AddLogShowingMessages(texts::CannotLoadLog(name, reason));
    ShowFileError(error);
}

bool TForm1::ClearBeforeLoad(ClearNote note)
{
    const bool dialog = note == ClearNote::DialogStatusAndLog;
    if (!BufferClear()) {
        // Without a device there is no blank state to clear to, and a load
        // would fill a buffer no view or command belongs to.
        SetStatus(texts::SelectDeviceRefusal());
        if (dialog)
            SetDialogStatus(texts::SelectDeviceRefusal());
        else
            ShowSmallBoxRefusal(texts::SelectDeviceRefusal());
        AddLogShowingMessages(texts::NoDeviceSelected());
        return false;
    }
    // The load menus only log the clear: their status line keeps the last
    // command's text until the load has succeeded.
    if (note != ClearNote::Log) SetStatus(texts::BufferCleared());
    if (dialog) SetDialogStatus(texts::BufferCleared());
    AddLog(texts::BufferCleared());
    return true;
}

void TForm1::AfterLoad(DeviceSelection device)
{
    const bool otherDevice = device.Pic18 != Pic18 || device.Index != Selected();
    if (device.Pic18 != Pic18) {
        FillDeviceList(device.Pic18);
        SetConfigFamily(device.Pic18);
    }
    if (device.Index != Selected()) {
        const QSignalBlocker block(device_->ComboBox1);
        device_->ComboBox1->setCurrentIndex(device.Index);
    }
    // The marker and the calibration box follow the device the buffer now
    // belongs to.
    config_->CheckBox2->setChecked(false);
    if (const TDeviceSpec *dev = SelectedDevice()) {
        device_->SetNoIdColour(dev->DeviceId == 0);
        config_->CheckBox2->setEnabled(dev->CalibAddress1 != 0);
    } else if (SelectedDevice18()) {
        device_->SetNoIdColour(false);
        config_->CheckBox2->setEnabled(false);
    }
    RedrawBuffer();
    if (otherDevice) NoteConfigNames();
}

void TForm1::LoadHexFile(LoadMode mode)
{
    const DeviceSelection before{Pic18, Selected()};
    LastRead = {};
    LastFindings = {};
    try {
        lastLoad_ = LoadHex(session.Buffer, before, CurrentFile, mode, options_->CheckBox6->isChecked());
    } catch (const HexFileError &) {
        AfterLoad(before);
        throw;
    }
    LastRead = lastLoad_.read;
    LastFindings = lastLoad_.findings;
    FileLacksConfiguration = !lastLoad_.configurationSet;
    AfterLoad(lastLoad_.device);
}

void TForm1::LoadNew()
{
    LoadHexFile(LoadMode::Over);
}

bool TForm1::LoadCurrent()
{
    if (CurrentFile.empty()) return false;
    SetCurrentFile(CurrentFile);
    LoadHexFile(LoadMode::Current);
    return true;
}

bool TForm1::ReportLoadFindings(bool dialog, bool forChip)
{
    const std::string name = CurrentFileName();
    if (LastRead.NoData()) {
        const std::string text = texts::NoHexData(name);
        SetStatus(" !! " + text);
        if (dialog) SetDialogStatus(" !! " + text);
        AddLogShowingMessages(text);
    }
    if (LastRead.Skipped > 0) {
        // The buffer keeps what did load; the user learns what did not, line
        // by line in the log and at once in a box.
        for (size_t i = 0; i < LastRead.Lines.size() && i < SkippedLinesListed; ++i)
            AddLogShowingMessages(SkippedLineText(LastRead.Lines[i]));
        if (LastRead.Skipped > static_cast<long>(SkippedLinesListed)) AddLog("…");
        MessageBox::Show(this, QMessageBox::Warning, MessageBox::Title,
                         QString::fromStdString(SkippedLinesText(name, LastRead)), {QStringLiteral("OK")});
    }
    if (LastRead.LoadedNothing()) {
        // Only the end record came through: no command may say the file
        // was loaded.
        const std::string text = texts::NothingLoaded(name);
        SetStatus(" !! " + text);
        if (dialog) SetDialogStatus(" !! " + text);
        AddLogShowingMessages(text);
    }
    if (!LastFindings.Empty()) {
        const std::string device = Pic18 ? (SelectedDevice18() ? SelectedDevice18()->Name : "")
                                         : (SelectedDevice() ? SelectedDevice()->Name : "");
        AddLogShowingMessages(LoadFindingsText(name, device, LastFindings));
        for (size_t i = 0; i < LastFindings.List.size() && i < LoadFindingsListed; ++i)
            AddLog(LoadFindingText(LastFindings.List[i]));
        if (LastFindings.Count > static_cast<long>(LoadFindingsListed)) AddLog("…");
    }
    // A plain load keeps the buffer so that the user can look at it; a
    // chain that loads for the chip ends here.
    const bool refused = ShowChangingFindings(forChip, dialog);
    return !LastRead.NoData() && LastRead.Skipped == 0 && !refused;
}

bool TForm1::ShowChangingFindings(bool refused, bool dialog)
{
    if (!LastFindings.ChangesWhatIsWritten()) return false;
    const std::string device = Pic18 ? (SelectedDevice18() ? SelectedDevice18()->Name : "")
                                     : (SelectedDevice() ? SelectedDevice()->Name : "");
    std::string text = LoadFindingsText(CurrentFileName(), device, LastFindings) + "\n";
    for (size_t i = 0; i < LastFindings.List.size() && i < LoadFindingsListed; ++i)
        text += "\n" + LoadFindingText(LastFindings.List[i]);
    if (LastFindings.Count > static_cast<long>(LoadFindingsListed)) text += "\n…";
    text += std::string("\n\n") + (refused ? texts::LoadFindingsRefused() : texts::LoadFindingsHeld());
    if (refused) {
        SetStatus(std::string(" !! ") + texts::LoadFindingsRefused());
        if (dialog) SetDialogStatus(std::string(" !! ") + texts::LoadFindingsRefused());
        AddLogShowingMessages(texts::LoadFindingsRefused());
    }
    MessageBox::Show(this, QMessageBox::Warning, MessageBox::Title, QString::fromStdString(text),
                     {QStringLiteral("OK")});
    return true;
}

bool TForm1::RefuseChangedBuffer(Chain chain, bool dialog)
{
    const std::vector<Step> steps = ChainSteps(chain);
    const bool writesOrCompares = std::find(steps.begin(), steps.end(), Step::Program) != steps.end() ||
                                  std::find(steps.begin(), steps.end(), Step::Verify) != steps.end();
    return writesOrCompares && ShowChangingFindings(true, dialog);
}

void TForm1::LogChecksum()
{
    if (Selected() >= 0) AddLog(ChecksumText(ImageChecksum(session.Buffer, DeviceSelection{Pic18, Selected()})));
}

std::string TForm1::SaveBufferAs()
{
    if (Selected() < 0) {
        SetStatus(texts::SelectDeviceRefusal());
        ShowSmallBoxRefusal(texts::SelectDeviceRefusal());
        AddLogShowingMessages(texts::NoDeviceSelected());
        return {};
    }
    const QString path = FileDialog::Save(this);
    if (path.isEmpty()) return {};
    try {
        SaveBuffer(path.toStdString(), session.Buffer, {Pic18, Selected()}, SaveAllFlag);
    } catch (const HexFileError &error) {
        ShowFileError(error);
        return {};
    }
    const std::string full = path.toStdString();
    const auto slash = full.find_last_of('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

// ---- LOAD, SAVE and the load menu ----

void TForm1::Button1Click()
{
    CommandScope lock(*this);
    const std::string before = CurrentFile;
    if (!ChooseCurrentFile()) return;
    try {
        LoadNew();
    } catch (const HexFileError &error) {
        // LOAD reads over the buffer: it still holds what it held.
        LoadFailed(error, before);
        return;
    }
    if (!ReportLoadFindings() && !LastRead.LoadedAny()) return;
    const ReportLines loaded = LoadedLines(lastLoad_);
    ShowLines({{loaded.lines.front()}});
    LogChecksum();
    ShowLines({{loaded.lines.back()}});
}

void TForm1::Button2Click()
{
    CommandScope lock(*this);
    const std::string name = SaveBufferAs();
    if (name.empty()) return;
    AddLog(texts::FileSaved(name));
    SetStatus(texts::SavedStatus(name));
}

std::string TForm1::ClearAndLoad(Reload which)
{
    if (which == Reload::NewFile || CurrentFile.empty())
        if (!ChooseCurrentFile()) return {};
    if (CurrentFile.empty() || !ClearBeforeLoad(ClearNote::Log)) return {};
    try {
        LoadCurrent();
    } catch (const HexFileError &error) {
        LoadFailed(error, {}); // the buffer was cleared before
        return {};
    }
    if (!ReportLoadFindings() && !LastRead.LoadedAny()) return {};
    const std::string name = CurrentFileName();
    AddLog(which == Reload::NewFile ? texts::FileLoaded(name) : texts::FileReloaded(name));
    LogChecksum();
    return name;
}

void TForm1::BufferClearLoadNewFile1Click()
{
    CommandScope lock(*this);
    const std::string name = ClearAndLoad(Reload::NewFile);
    if (!name.empty()) SetStatus(texts::ClearedAndLoaded(name, Audience::Window));
}

void TForm1::BufferClearLoadCurrentFile1Click()
{
    CommandScope lock(*this);
    const std::string name = ClearAndLoad(Reload::CurrentFile);
    if (!name.empty()) SetStatus(texts::ClearedAndLoaded(name, Audience::Window));
}

// ---- the file items of the Small Box menu ----

void TForm1::ResetCurrentFile1Click()
{
    ForgetCurrentFile();
    FocusAfterDeviceList();
    ShowMessage(texts::CurrentFileReset());
}

void TForm1::LoadNewFile1Click()
{
    CommandScope lock(*this);
    const std::string name = ClearAndLoad(Reload::NewFile);
    if (name.empty()) return;
    const std::string text = texts::ClearedAndLoaded(name, Audience::SmallBox);
    SetStatus(text);
    ShowMessage(text);
}

void TForm1::LoadCurrentFile1Click()
{
    CommandScope lock(*this);
    const std::string name = ClearAndLoad(Reload::CurrentFile);
    if (name.empty()) return;
    const std::string text = texts::ClearedAndLoaded(name, Audience::SmallBox);
    SetStatus(text);
    ShowMessage(text);
}

void TForm1::Save1Click()
{
    CommandScope lock(*this);
    const std::string name = SaveBufferAs();
    if (name.empty()) return;
    AddLog(texts::FileSaved(name, Audience::SmallBox));
    SetStatus(texts::SavedStatus(name, Audience::SmallBox));
    ShowMessage(texts::FileSaved(name));
}
