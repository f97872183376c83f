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

namespace {

// A command of the main window: the check, then the chain.
void MainCommand(TForm1 &form, Chain chain)
{
    CommandScope lock(form);
    if (form.RefuseChangedBuffer(chain, false)) return;
    OperationContext ctx = form.Context();
    if (!form.DeviceCheck(ctx, false)) return;
    form.RunDeviceChain(ctx, chain, false);
}

} // namespace

void TForm1::Button3Click()
{
    MainCommand(*this, Chain::Read);
}

void TForm1::Button4Click()
{
    MainCommand(*this, Chain::Program);
}

void TForm1::Button5Click()
{
    MainCommand(*this, Chain::Erase);
}

// An erase that did not happen (calibration unreadable, link lost) keeps its
// own failure text: going on would announce "消去しました" and, on a chip
// that happened to be blank already, even program it.

void TForm1::Button6Click()
{
    MainCommand(*this, Chain::BlankCheck);
}

void TForm1::Button7Click()
{
    MainCommand(*this, Chain::Verify);
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
    const bool whole = form.ReportLoadFindings(false, true);
    if (form.LastRead.LoadedAny())
        form.AddLog(texts::FileLoaded(form.CurrentFileName()));
    return whole;
}

} // namespace

void TForm1::Program1Click()
{
    MainCommand(*this, Chain::ProgramVerify);
}

void TForm1::EraseBlankCheckProgramVerify1Click()
{
    MainCommand(*this, Chain::EraseBlankCheckProgramVerify);
}

void TForm1::BufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent(*this)) return;
    OperationContext ctx = Context();
    if (!DeviceCheck(ctx, false)) return;
    RunDeviceChain(ctx, Chain::ProgramVerify, false, CurrentFileName());
}

void TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click()
{
    CommandScope lock(*this);
    if (!ClearAndLoadCurrent(*this)) return;
    OperationContext ctx = Context();
    if (!DeviceCheck(ctx, false)) return;
    RunDeviceChain(ctx, Chain::EraseBlankCheckProgramVerify, false, CurrentFileName());
}

void TForm1::EraseBlankCheck1Click()
{
    MainCommand(*this, Chain::EraseBlankCheck);
}
