#include "operations/operations.h"

#include "operations/CalibrationLog.h"
#include "link/discovery.h"
#include "operations/detail.h"
#include "support/textutil.h"

namespace {

void RefuseNoDevice(OperationContext &ctx, bool dialogStatus)
{
    ctx.ui.AddLogShowingMessages("DEVICE が選択されていません。");
    ReportStatus(ctx, " !! デバイスを選択してください。", dialogStatus);
}

int RefuseDeviceId(OperationContext &ctx, bool dialogStatus, int code)
{
    if (code == CheckNoDeviceId) {
        ctx.ui.AddLogShowingMessages("DEVICEIDを確認できませんでした。");
        ReportStatus(ctx, " !! DEVICE-IDを確認できませんでした。", dialogStatus);
    } else {
        ctx.ui.AddLogShowingMessages("DEVICEIDが異なります。");
        ReportStatus(ctx, " !! DEVICE-IDが異なります。", dialogStatus);
    }
    return code;
}

// An ID read whose word did not arrive, or whose closing exit from
// programming mode was not confirmed.
bool IdReadFailed(const Link &link)
{
    return link.missing != 0 || link.cmd.Status != StatusOk;
}

int RefuseLinkLost(OperationContext &ctx, bool dialogStatus)
{
    ReportLinkLost(ctx, ReadFailedStatus, dialogStatus);
    return CheckLinkLost;
}

bool SelectionValid(const FrontEnd &ui)
{
    const int index = ui.SelectedIndex();
    return index >= 0 && index < (ui.Pic18Family() ? DeviceTable18Size : DeviceTableSize);
}

} // namespace

// ---- shared pieces ----

std::optional<TDeviceSpec> SelectedRow(OperationContext &ctx)
{
    if (!SelectionValid(ctx.ui)) {
        RefuseNoDevice(ctx, false);
        return std::nullopt;
    }
    return DeviceTable[static_cast<size_t>(ctx.ui.SelectedIndex())];
}

std::optional<TDeviceSpec18> SelectedRow18(OperationContext &ctx)
{
    if (!SelectionValid(ctx.ui)) {
        RefuseNoDevice(ctx, false);
        return std::nullopt;
    }
    return DeviceTable18[static_cast<size_t>(ctx.ui.SelectedIndex())];
}

bool IsDialogBar(OperationContext &ctx, const ProgressBar *progress)
{
    return progress && progress == &ctx.ui.DialogProgress();
}

void ReportStatus(OperationContext &ctx, const std::string &text, bool toDialog)
{
    ctx.ui.SetStatus(text);
    if (toDialog) ctx.ui.SetDialogStatus(text);
}

void ReportLinkLost(OperationContext &ctx, const std::string &status, bool toDialog, bool wedged)
{
    // An operation stopped on request has lost nothing; the front end that
    // asked says so itself.
    if (InterruptRequested()) return;
    ReportStatus(ctx, status, toDialog);
    ctx.ui.AddLogShowingMessages(LinkLostLog);
    if (wedged) ctx.ui.AddLogShowingMessages(PowerCycleLog);
}

std::string HexAtLeast(uint32_t value, int width)
{
    int digits = 1;
    for (uint32_t v = value >> 4; v != 0; v >>= 4)
        ++digits;
    return Hex(value, digits > width ? digits : width);
}

// ---- the check ----

int CheckConnection(OperationContext &ctx, bool dialogStatus)
{
    FrontEnd &ui = ctx.ui;
    if (!ctx.port.IsOpen()) {
        ui.AddLogShowingMessages("COMポートがオープンされていません。");
        ui.AddLog("他のアプリケーションがポートを使用していないかチェックしてOptionタブからポートをオープンし"
                  "てください");
        ui.SetStatus(" !! 接続を確認してポートをオープンしてください。");
        if (dialogStatus) ui.SetDialogStatus(" !! ポートをオープンしてください。");
        return CheckNoPort;
    }

    // What the programmer still sends from a command nobody waited for (an
    // interrupted read) would spoil the first exchange.
    ctx.port.DrainInput();
    Link link{ctx.port, ctx.cmd, ctx.ui};
    // A programmer left in the middle of a command (its last host was
    // killed) is brought back before the check decides.
    const std::string reply = AskProgrammerVersion(link);
    // The version query waits out its short time-outs; let the window
    // repaint before the DEVICE-ID reads add their own exchanges.
    ui.ProcessMessages();
    if (!IsProgrammerReply(reply)) {
        ui.AddLogShowingMessages(ctx.port.PortName() + "にプログラマーの接続を確認できませんでした。");
        ui.SetStatus(" !! 接続を確認してください");
        if (dialogStatus) ui.SetDialogStatus(" !! 接続を確認してください。");
        return CheckNoProgrammer;
    }

    if (!SelectionValid(ui)) {
        RefuseNoDevice(ctx, dialogStatus);
        return CheckNoDevice;
    }

    // The five low bits of an ID are the silicon revision and never compared.
    // The first read only proves that something answers; the second decides.
    // A read the programmer did not see through is a lost link, whatever
    // bits it brought.
    if (ui.Pic18Family()) {
        const TDeviceSpec18 device = DeviceTable18[static_cast<size_t>(ui.SelectedIndex())];
        link.missing = 0;
        const uint16_t first = ReadDeviceId18(link);
        if (IdReadFailed(link)) return RefuseLinkLost(ctx, dialogStatus);
        if ((first & 0xFFE0) == 0) return RefuseDeviceId(ctx, dialogStatus, CheckNoDeviceId);
        ui.ProcessMessages();
        const uint16_t second = ReadDeviceId18(link);
        if (IdReadFailed(link)) return RefuseLinkLost(ctx, dialogStatus);
        if ((second & 0xFFE0) != device.DeviceId) return RefuseDeviceId(ctx, dialogStatus, CheckWrongDevice);
        return CheckPassed;
    }
    const TDeviceSpec device = DeviceTable[static_cast<size_t>(ui.SelectedIndex())];
    if (device.DeviceId == 0) return CheckPassed; // nothing to compare, nothing sent
    link.missing = 0;
    const uint16_t first = ReadDeviceId(link, device);
    if (IdReadFailed(link)) return RefuseLinkLost(ctx, dialogStatus);
    if ((first & 0x3FE0) == 0) return RefuseDeviceId(ctx, dialogStatus, CheckNoDeviceId);
    ui.ProcessMessages();
    const uint16_t id = ReadDeviceId(link, device);
    if (IdReadFailed(link)) return RefuseLinkLost(ctx, dialogStatus);
    if ((id & 0x3FE0) != device.DeviceId) return RefuseDeviceId(ctx, dialogStatus, CheckWrongDevice);
    NoteDeviceId(device.Name, id);
    return CheckPassed;
}

bool Pic18Gate(OperationContext &ctx)
{
    Link link{ctx.port, ctx.cmd, ctx.ui};
    if (CheckPic18Support(link) == 10) return true;
    ctx.ui.AddLogShowingMessages("このファームウェアはPIC18をサポートしていません。！");
    ctx.ui.SetStatus(" PIC18をサポートしていません！");
    return false;
}
