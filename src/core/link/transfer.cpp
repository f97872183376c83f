#include "link/transfer.h"

namespace {

template <typename T> int ReceiveUnits(Link &link, int n, std::span<T> destination, ProgressBar *progress)
{
    int missing = 0;
    if (progress) progress->SetRange(0, n);
    for (int i = 0; i < n; ++i) {
        ReceivedUnit got = ReceiveOne(link, destination, static_cast<size_t>(i));
        if (got == ReceivedUnit::Silent) {
            // A programmer that stays silent for a whole time-out is gone
            // (unplugged, powered off): waiting a time-out for each of the
            // remaining units would freeze the window for minutes.
            missing += n - i;
            break;
        }
        if (got == ReceivedUnit::Partial) ++missing;
        link.ui.ProcessMessages();
        if (progress) progress->StepIt();
    }
    if (progress) progress->SetPosition(0);
    link.missing += missing;
    if (missing > 0 && link.fault == LinkFault::None) link.fault = LinkFault::Silent;
    return missing;
}

} // namespace

int ReceiveWords(Link &link, int n, std::span<uint16_t> destination, ProgressBar *progress)
{
    return ReceiveUnits(link, n, destination, progress);
}

int ReceiveBytes(Link &link, int n, std::span<uint8_t> destination, ProgressBar *progress)
{
    return ReceiveUnits(link, n, destination, progress);
}

int ReadBytes(Link &link, uint32_t address, int n, std::span<uint8_t> destination, ProgressBar *progress)
{
    if (!(link.smallBlock && address == 0)) {
        SetTablePointer(link, address);
        link.cmd.Count = static_cast<uint16_t>(n);
        RunCommand(link, cmdTableRead);
        return ReceiveBytes(link, n, destination, progress);
    }
    int blocks = n / 256;
    int missing = 0;
    if (progress) progress->SetRange(0, blocks);
    for (int k = 0; k < blocks; ++k) {
        SetTablePointer(link, 256u * static_cast<uint32_t>(k));
        link.cmd.Count = 256;
        RunCommand(link, cmdTableRead);
        int lost = ReceiveBytes(link, 256, Tail(destination, 256u * static_cast<size_t>(k)), nullptr);
        missing += lost;
        if (lost == 256) {
            // Nothing of the block arrived: the programmer is gone, so the
            // remaining blocks are not asked for.
            int rest = 256 * (blocks - k - 1);
            missing += rest;
            link.missing += rest;
            break;
        }
        if (progress) progress->StepIt();
    }
    if (progress) progress->SetPosition(0);
    // Block reads cover whole 256-byte blocks only; bytes past the last one
    // are never asked for, so they count as not arrived.
    int unread = n > 0 ? n % 256 : 0;
    link.missing += unread;
    return missing + unread;
}
