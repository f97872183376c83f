// The device commands of the main window and the programming and erase
// menus: single operations and the chains that run several in a row inside
// one command lock.
#include <QCheckBox>

#include "CommandScope.h"
#include "Unit1.h"

namespace {

const std::string Quote = "\"";
const std::string ProgrammedVerifying = "書込みました。　ベリファイ中…";
const std::string ErasedChecking = "消去しました。　ブランクチェック中…";
const std::string ErasedButNotBlank = "消去しましたが、デバイスはブランクではありません。";

} // namespace

OperationContext TForm1::Context()
{
    return OperationContext{session.Port, session.Command, session.Buffer, *this};
}

void TForm1::BufferChanged()
{
    RedrawBuffer();
}

bool TForm1::DeviceCheck(bool dialog)
{
    OperationContext ctx = Context();
    return CheckConnection(ctx, dialog) == ::CheckPassed;
}

// ---- single device commands ----

void TForm1::Button3Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    SetStatus("デバイスから読込み中…");
    OperationContext ctx = Context();
    if (ReadDevice(ctx, &MainProgress())) LogChecksum();
}

void TForm1::Button4Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    SetStatus("デバイスに書込み中…");
    OperationContext ctx = Context();
    ProgramDevice(ctx, &MainProgress());
}

void TForm1::Button5Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    OperationContext ctx = Context();
    EraseDevice(ctx);
}

// An erase that did not happen (calibration unreadable, link lost) keeps its
// own failure text: going on would announce "消去しました" and, on a chip
// that happened to be blank already, even program it.

void TForm1::Button6Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    SetStatus("ブランクチェック中…");
    OperationContext ctx = Context();
    BlankCheckDevice(ctx, &MainProgress());
}

void TForm1::Button7Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    SetStatus("ベリファイ中…");
    OperationContext ctx = Context();
    VerifyDevice(ctx, &MainProgress());
}

// ---- chains ----

namespace {

// Asks for a file when there is none, clears the buffer and loads the
// current file; false when the chain must end here (cancelled dialog, no
// device to clear for, a file that cannot be read, or one that did not load
// whole: a damaged file must not reach the chip).
bool ClearAndLoadCurrent(TForm1 &form)
{
    if (form.CurrentFile.empty() && !form.ChooseCurrentFile()) return false;
    if (form.CurrentFile.empty() || !form.ClearBeforeLoad(TForm1::ClearNote::StatusAndLog)) return false;
    try {
        if (!form.LoadCurrent()) return true;
    } catch (const HexFileError &error) {
        form.LoadFailed(error, {}); // the buffer was cleared before
        return false;
    }
    const bool whole = form.ReportLoadFindings();
    if (!form.LastRead.NoData())
        form.AddLog("ファイル " + Quote + form.CurrentFileName() + Quote + " をロードしました。");
    return whole;
}

} // namespace

void TForm1::Program1Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    OperationContext ctx = Context();
    SetStatus("書込み中…");
    ProgramDevice(ctx, &MainProgress());
    // The verify reports whatever the program step left behind.
    SetStatus(ProgrammedVerifying);
    VerifyDevice(ctx, &MainProgress());
}

void TForm1::EraseBlankCheckProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    OperationContext ctx = Context();
    if (!EraseDevice(ctx)) return;
    SetStatus(ErasedChecking);
    // A blank check that could not read the chip keeps its link-loss text.
    if (const int blank = BlankCheckOutcome(ctx, &MainProgress()); blank != 1) {
        if (blank == 0) SetStatus("消去できませんでした。デバイスはブランクではありません。");
        return;
    }
    SetStatus("消去OK。　書込み中…");
    ProgramDevice(ctx, &MainProgress());
    SetStatus(ProgrammedVerifying);
    VerifyDevice(ctx, &MainProgress());
}

void TForm1::BufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent(*this) || !DeviceCheck(false)) return;
    OperationContext ctx = Context();
    SetStatus(" " + Quote + CurrentFileName() + Quote + " をロードしました。　書込み中…");
    ProgramDevice(ctx, &MainProgress());
    SetStatus(ProgrammedVerifying);
    VerifyDevice(ctx, &MainProgress());
}

void TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent(*this) || !DeviceCheck(false)) return;
    OperationContext ctx = Context();
    if (!EraseDevice(ctx)) return;
    SetStatus(" " + Quote + CurrentFileName() + Quote + " をロードしました。　ブランクチェック中…");
    if (const int blank = BlankCheckOutcome(ctx, &MainProgress()); blank != 1) {
        if (blank == 0) SetStatus(ErasedButNotBlank);
        return;
    }
    SetStatus("消去OK。　書き込み中…");
    ProgramDevice(ctx, &MainProgress());
    SetStatus(ProgrammedVerifying);
    VerifyDevice(ctx, &MainProgress());
}

void TForm1::EraseBlankCheck1Click()
{
    CommandScope lock(*this);
    if (!DeviceCheck(false)) return;
    OperationContext ctx = Context();
    if (!EraseDevice(ctx)) return;
    SetStatus(ErasedChecking);
    const int blank = BlankCheckOutcome(ctx, &MainProgress());
    if (blank == 1)
        SetStatus("消去OK。　デバイスはブランクです。");
    else if (blank == 0)
        SetStatus(ErasedButNotBlank);
}
