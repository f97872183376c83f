// Reading only the configuration words: what the chip is set to, in a moment,
// without reading program memory.
#define TARNVIK_OPERATIONS_INTERNAL
#include <memory>

#include "operations/detail.h"
#include "texts/read_texts.h"

OperationResult ReadConfigWords(OperationContext &ctx)
{
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        Wire wire(ctx);
        if (!wire.ReadConfig(*device, *image)) {
            const LinkFault fault = wire.Fault();
            const bool wedged = !wire.Abandon();
            return LinkLostResult(ctx, texts::ReadFailedStatus(), Surface::StatusLine, fault, wedged);
        }
        const uint32_t first = device->Is12Bit() ? Config12BitWord : device->ConfigAddress1;
        ctx.buffer.Words[first] = (*image)[first];
        if (device->ConfigAddress2 != 0)
            ctx.buffer.Words[device->ConfigAddress2] = (*image)[device->ConfigAddress2];
    } else {
        if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
        if (!SelectedRow18(ctx)) return RefusedResult(Refusal::NoDevice);
        auto image = std::make_unique<MemoryBuffer>();
        Wire wire(ctx);
        if (!wire.ReadConfig18(*image)) {
            const LinkFault fault = wire.Fault();
            const bool wedged = !wire.Abandon();
            return LinkLostResult(ctx, texts::ReadFailedStatus(), Surface::StatusLine, fault, wedged);
        }
        ctx.buffer.Config18 = image->Config18;
    }
    ctx.ui.BufferChanged();
    ctx.ui.SetStatus(texts::ConfigWordsRead());
    ctx.ui.AddLog(texts::ConfigWordsRead());
    return {};
}
