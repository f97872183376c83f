// Reading only the configuration words: what the chip is set to, in a moment,
// without reading program memory.
#include <memory>

#include "operations/detail.h"

namespace {
constexpr const char *ConfigReadText = "デバイスからConfigワードを読み込みました。";
}

bool ReadConfigWords(OperationContext &ctx)
{
    if (!ctx.ui.Pic18Family()) {
        const auto device = SelectedRow(ctx);
        if (!device) return false;
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        Wire wire(ctx);
        if (!wire.ReadConfig(*device, *image)) {
            wire.Abandon();
            ReportLinkLost(ctx, ReadFailedStatus, false);
            return false;
        }
        const uint32_t first = device->Is12Bit() ? Config12BitWord : device->ConfigAddress1;
        ctx.buffer.Words[first] = (*image)[first];
        if (device->ConfigAddress2 != 0)
            ctx.buffer.Words[device->ConfigAddress2] = (*image)[device->ConfigAddress2];
    } else {
        if (!Pic18Gate(ctx)) return false;
        if (!SelectedRow18(ctx)) return false;
        auto image = std::make_unique<MemoryBuffer>();
        Wire wire(ctx);
        if (!wire.ReadConfig18(*image)) {
            wire.Abandon();
            ReportLinkLost(ctx, ReadFailedStatus, false);
            return false;
        }
        ctx.buffer.Config18 = image->Config18;
    }
    ctx.ui.BufferChanged();
    ctx.ui.SetStatus(ConfigReadText);
    ctx.ui.AddLog(ConfigReadText);
    return true;
}
