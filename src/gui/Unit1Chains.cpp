// The device commands of the main window and the programming and erase
// menus: single operations and the chains that run several in a row inside
// one command lock.
#include <QCheckBox>
#include <algorithm>

#include "CommandScope.h"
#include "MessageBox.h"
#include "Unit1.h"
#include "Unit1Parts.h"
#include "operations/regions.h"
#include "texts/load_texts.h"

OperationContext TForm1::Context()
{
    OperationContext ctx{session.Port, session.Command, session.Buffer, *this};
    ctx.device = {Pic18, Selected()};
    ctx.options = Options();
    return ctx;
}

void TForm1::BufferChanged()
{
    RedrawBuffer();
}

bool TForm1::DeviceCheck(OperationContext &ctx, bool dialog)
{
    ctx.surface = dialog ? Surface::ProgressDialog : Surface::StatusLine;
    return CheckConnection(ctx).Ok();
}

ChainResult TForm1::RunDeviceChain(OperationContext &ctx, Chain chain, bool smallBox, const std::string &file)
{
    ChainRun run;
    ctx.surface = smallBox ? Surface::ProgressDialog : Surface::StatusLine;
    run.progress = smallBox ? &DialogProgress() : &MainProgress();
    run.fileName = file;
    // The verify reports whatever a failed program step left behind.
    run.verifyAfterFailedProgram = true;
    const std::vector<Step> steps = ChainSteps(chain);
    if (std::find(steps.begin(), steps.end(), Step::Program) != steps.end() && !ConfirmMissingConfiguration()) {
        ChainResult stopped;
        stopped.ended = Step::Program;
        stopped.outcome.kind = Outcome::Refused;
        lastChain_ = stopped;
        return stopped;
    }
    const ChainResult result = RunChain(ctx, chain, run);
    lastChain_ = result;
    if (result.calibrationReplaced) config_->CheckBox2->setChecked(false);
    if (chain == Chain::Read && result.Ok()) {
        // The buffer holds the chip's contents now, no longer the file's.
        LastFindings = {};
        LogChecksum();
        FileLacksConfiguration = false;
    }
    return result;
}

bool TForm1::ConfirmMissingConfiguration()
{
    if (!FileLacksConfiguration) return true;
    const std::string text = MissingConfigurationText(CurrentFileName(), {Pic18, Selected()}, session.Buffer);
    // "いいえ" first and the default: an accidental Enter must not give the
    // chip a configuration nobody chose.
    if (MessageBox::Show(this, QMessageBox::Warning, MessageBox::Title, QString::fromStdString(texts::WriteWithoutConfiguration(text)),
                         {QString::fromStdString(texts::AnswerNo()), QString::fromStdString(texts::AnswerYes())}, 0) == 1)
        return true;
    AddLog(text);
    SetStatus(texts::WriteStopped());
    return false;
}

// ---- single device commands ----

void TForm1::MainCommand(Chain chain)
{
    CommandScope lock(*this);
    if (RefuseChangedBuffer(chain, false)) return;
    OperationContext ctx = Context();
    if (!DeviceCheck(ctx, false)) return;
    RunDeviceChain(ctx, chain, false);
}

void TForm1::Button3Click()
{
    MainCommand(Chain::Read);
}

void TForm1::Button4Click()
{
    MainCommand(Chain::Program);
}

void TForm1::Button5Click()
{
    MainCommand(Chain::Erase);
}

// An erase that did not happen (calibration unreadable, link lost) keeps its
// own failure text: going on would announce "消去しました" and, on a chip
// that happened to be blank already, even program it.

void TForm1::Button6Click()
{
    MainCommand(Chain::BlankCheck);
}

void TForm1::Button7Click()
{
    MainCommand(Chain::Verify);
}

// ---- chains ----

// False when the chain must end here: a cancelled dialog, no device to
// clear for, a file that cannot be read, or one that did not load whole (a
// damaged file must not reach the chip).
bool TForm1::ClearAndLoadCurrent()
{
    if (CurrentFile.empty() && !ChooseCurrentFile()) return false;
    if (CurrentFile.empty() || !ClearBeforeLoad(ClearNote::StatusAndLog)) return false;
    try {
        if (!LoadCurrent()) return true;
    } catch (const HexFileError &error) {
        LoadFailed(error, {}); // the buffer was cleared before
        return false;
    }
    const bool whole = ReportLoadFindings(false, true);
    if (LastRead.LoadedAny()) AddLog(texts::FileLoaded(CurrentFileName()));
    return whole;
}

void TForm1::Program1Click()
{
    MainCommand(Chain::ProgramVerify);
}

void TForm1::EraseBlankCheckProgramVerify1Click()
{
    MainCommand(Chain::EraseBlankCheckProgramVerify);
}

void TForm1::BufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent()) return;
    OperationContext ctx = Context();
    if (!DeviceCheck(ctx, false)) return;
    RunDeviceChain(ctx, Chain::ProgramVerify, false, CurrentFileName());
}

void TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent()) return;
    OperationContext ctx = Context();
    if (!DeviceCheck(ctx, false)) return;
    RunDeviceChain(ctx, Chain::EraseBlankCheckProgramVerify, false, CurrentFileName());
}

void TForm1::EraseBlankCheck1Click()
{
    MainCommand(Chain::EraseBlankCheck);
}
