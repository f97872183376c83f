#include "ProductionEngine.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "RunStatus.h"
#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "production/SerialList.h"

namespace {

constexpr int ExitSoftware = ExitInternal; // a port's thread ended by an internal error

} // namespace

std::vector<std::string> PortLabels(const std::vector<std::string> &ports)
{
    std::vector<std::string> labels;
    for (const std::string &p : ports)
        labels.push_back(p.empty() ? "default" : p);
    return labels;
}

ProductionEngine::ProductionEngine(ProductionPlan plan, const MemoryBuffer &image, ChipWork &work,
                                   ProductionListener &listener)
    : plan_(std::move(plan)), image_(image), work_(work), listener_(listener), hasImage_(!plan_.file.empty()),
      labels_(PortLabels(plan_.ports)), totals_(labels_)
{
}

ProductionEngine::~ProductionEngine() = default;

void ProductionEngine::Fail(ProductionError error, int status)
{
    listener_.Problem(error);
    worst_ = std::max(worst_, status);
}

// Checks the place against the loaded image and opens the stock.
bool ProductionEngine::PrepareSerials()
{
    const DeviceSelection device = plan_.device;
    if (device.Index < 0) {
        Fail({ProductionProblem::SerialNeedsDevice, {}}, ExitRefused);
        return false;
    }
    if (device.Pic18)
        target_.device18 = &DeviceTable18[static_cast<size_t>(device.Index)];
    else
        target_.device = &DeviceTable[static_cast<size_t>(device.Index)];
    ProductionError refused{ProductionProblem::SerialPlaceRefused, {}};
    refused.reason = CheckSerialPlace(plan_.serialLayout, target_, image_, &refused.overlapsFile);
    if (!refused.reason.empty()) {
        Fail(refused, ExitRefused);
        return false;
    }
    stock_ = std::make_unique<SerialAllocator>(plan_.serialStart, plan_.serialStep);
    std::string error;
    if (!plan_.serialList.empty()) {
        std::vector<uint64_t> list;
        if (!ReadSerialList(plan_.serialList, list, error)) {
            Fail({ProductionProblem::SerialListUnreadable, error}, ExitRefused);
            return false;
        }
        stock_->UseList(std::move(list), std::filesystem::path(plan_.serialList).filename().string());
    }
    if (!plan_.serialState.empty() && !stock_->UseStateFile(plan_.serialState, plan_.serialStartGiven, error)) {
        Fail({ProductionProblem::SerialStateRefused, error}, ExitRefused);
        return false;
    }
    const SerialStock stock = stock_->Stock();
    if (stock_->FromFile() && plan_.serialList.empty() && plan_.serialStartGiven && stock.next != plan_.serialStart)
        listener_.SerialsContinue(stock.givenBack.empty() ? stock.next : *stock.givenBack.begin());
    return true;
}

int ProductionEngine::Open()
{
    if (plan_.serial && !PrepareSerials()) return ExitRefused;
    std::string error;
    if (!plan_.log.empty() && !log_.Open(plan_.log, error)) {
        Fail({ProductionProblem::LogNotOpened, error}, ExitFileError);
        return ExitFileError;
    }
    if (hasImage_) crc_ = ImageCrc32(image_, plan_.device.Pic18);
    if (hasImage_ && plan_.device.Index >= 0) checksum_ = ImageChecksum(image_, plan_.device);
    return ExitSuccess;
}

// One number per port, in port order, all checked before any chip of the
// round starts; on a refusal every drawn number goes back.
bool ProductionEngine::DrawNumbers(std::vector<std::optional<uint64_t>> &numbers)
{
    for (auto &n : numbers) {
        ProductionError error{ProductionProblem::SerialNotDrawn, {}};
        n = stock_->Take(error.reason);
        if (n && *n > SerialMaximum(plan_.serialLayout)) {
            error = {ProductionProblem::SerialTooLarge, {}};
            error.number = *n;
        } else if (n) {
            continue;
        }
        Fail(error, ExitRefused);
        std::string ignored;
        for (auto &back : numbers)
            if (back) stock_->GiveBack(*back, ignored);
        return false;
    }
    return true;
}

bool ProductionEngine::RunRound()
{
    const size_t n = labels_.size();
    std::vector<std::optional<uint64_t>> numbers(n);
    if (plan_.serial && !DrawNumbers(numbers)) return false;
    std::vector<std::unique_ptr<MemoryBuffer>> images(n);
    for (size_t i = 0; i < n && hasImage_; ++i) {
        images[i] = std::make_unique<MemoryBuffer>(image_);
        if (numbers[i]) PlaceSerial(plan_.serialLayout, target_, *numbers[i], *images[i]);
    }
    std::vector<ChipResult> results(n);
    for (size_t i = 0; i < n; ++i)
        results[i] = {labels_[i], "", numbers[i] ? std::to_string(*numbers[i]) : "", "failed", 0, ExitSoftware, {}};
    const std::vector<int> statuses = RunGang(
        n,
        [&](size_t i) {
            const auto start = std::chrono::steady_clock::now();
            listener_.ChipStarted(i, numbers[i]);
            ChipResult r = work_.Run(i, images[i].get(), numbers[i]);
            r.port = labels_[i];
            r.serial = results[i].serial;
            r.elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
            results[i] = r;
            listener_.ChipFinished(r);
            return r.status;
        },
        ExitSoftware);
    listener_.ChipsEnded();
    return RecordRound(numbers, results, statuses);
}
