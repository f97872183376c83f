#include "Session.h"

#include "Naming.h"
#include "PortNames.h"
#include "PortOpening.h"
#include "Loading.h"
#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "image/hex_load.h"
#include "image/hex_write.h"
#include "link/SerialDevices.h"
#include "link/WireTrace.h"
#include "link/discovery.h"

OperationOptions OperationOptionsFor(const OperationChoices &choices)
{
    OperationOptions options;
    options.smallBlock = choices.smallBlock;
    options.verifyUserId = choices.verifyUserId;
    options.calibChange = choices.calibChange;
    options.cal1 = CalibrationWord(choices.cal1);
    options.cal2 = CalibrationWord(choices.cal2);
    options.calibrationLogOptional = choices.calibrationLogOptional;
    options.regions = choices.regions;
    return options;
}

Session::Session(const std::string &settingsPath, FrontEnd &ui, std::shared_ptr<WireTrace> trace)
    : ui_(ui), settings_(settingsPath), saved_(ReadAppSettings(settings_)),
      port_(MakePosixSerialBackend(),
            [this](const std::string &name) {
                if (!pathName_.empty() && name == pathName_) return pathOverride_;
                return ComPortDevice(settings_, name);
            }),
      buffer_(std::make_unique<MemoryBuffer>())
{
    port_.SetTrace(std::move(trace));
}

Session::~Session() = default;

DeviceSelected Session::SelectDevice(const std::string &name)
{
    if (!name.empty()) {
        const DeviceSelection found = FindCatalogueDevice(name);
        if (found.Index < 0) return {device_, true};
        device_ = found;
        return {device_};
    }
    // The part the window would start with, in the group its list shows.
    const DeviceSelection found = FindCatalogueDevice(saved_.device.name);
    device_ = {saved_.device.pic18, found.Pic18 == saved_.device.pic18 ? found.Index : -1};
    return {device_};
}

bool Session::Clear()
{
    return ClearFor(*buffer_, device_);
}

LoadReport Session::Load(const std::string &path, LoadMode mode, bool autoSelect)
{
    LoadReport report = LoadHex(*buffer_, device_, path, mode, autoSelect);
    device_ = report.device;
    file_ = path;
    return report;
}

void Session::UseImage(const MemoryBuffer &image, DeviceSelection device)
{
    *buffer_ = image;
    device_ = device;
}

void Session::Save(const std::string &path, bool saveAll)
{
    SaveBuffer(path, *buffer_, device_, saveAll);
}

std::optional<uint16_t> Session::Checksum() const
{
    if (device_.Index < 0) return std::nullopt;
    return ImageChecksum(*buffer_, device_);
}

PortChoice Session::StartingChoice() const
{
    return StartingPortChoice(settings_, saved_.port);
}

PortChoice Session::NamedChoice(const std::string &asked)
{
    PortChoice choice{PortHow::Named, {}, {}, asked, {}, {}};
    if (const int n = ComNumber(asked)) {
        choice.name = ComName(n);
        choice.path = ComPortDevice(settings_, choice.name);
        return choice;
    }
    choice.how = PortHow::Path;
    const DeviceLookup found = PortArgumentDevice(settings_, asked);
    choice.path = found.path;
    // usb:SERIAL that no device (or more than one) answers to.
    if (choice.path.empty()) {
        choice.lookupError = found.error;
        return choice;
    }
    // A path the settings assign to a COM port goes by that name; any other
    // by COM0, the number of no port button.
    choice.name = "COM0";
    for (int k = 1; k <= 10; ++k)
        if (SameDevice(ComPortDevice(settings_, ComName(k)), choice.path)) {
            choice.name = ComName(k);
            break;
        }
    pathName_ = choice.name;
    pathOverride_ = choice.path;
    return choice;
}

PortChosen Session::OpenPort(const PortChoice &choice)
{
    PortChosen chosen;
    if (choice.how == PortHow::Searched) {
        Link link{port_, cmd_, ui_};
        const PortSearch search = SearchForProgrammer(link, settings_, Modem());
        chosen = OpenChosenPort(port_, Modem(), choice, &search);
    } else {
        chosen = OpenChosenPort(port_, Modem(), choice);
    }
    chosen.notice = port_.TakeNotice();
    // What the programmer still sends from a command nobody waited for (a
    // run killed in the middle of a read) would spoil the first exchange.
    if (!choice.quietPath.empty()) port_.TrustQuietLine(choice.quietPath);
    port_.DrainInput();
    return chosen;
}

OperationContext Session::Context(const OperationOptions &options)
{
    OperationContext ctx{port_, cmd_, *buffer_, ui_, device_};
    ctx.options = options;
    ctx.deviceId = checkedId_;
    return ctx;
}

CheckReport Session::Check(const OperationOptions &options)
{
    OperationContext ctx = Context(options);
    CheckReport report;
    report.result = CheckConnection(ctx);
    checkedId_ = ctx.deviceId;
    const OperationResult &check = report.result;
    const Refusal code = check.refusal;
    report.reachedChip = check.kind != Outcome::LinkLost && check.kind != Outcome::Interrupted &&
                         code != Refusal::NoPort && code != Refusal::NoProgrammer && code != Refusal::NoDevice;
    return report;
}

OperationResult Session::ReadChip(MemoryBuffer &image, const OperationOptions &options, ProgressBar *progress)
{
    ClearFor(image, device_);
    OperationContext ctx{port_, cmd_, image, ui_, device_};
    ctx.options = options;
    ctx.options.regions = RegionAll;
    ctx.deviceId = checkedId_;
    return ReadDevice(ctx, progress);
}

StepEnded Session::RunChain(Chain chain, const ChainRun &run, const OperationOptions &options)
{
    OperationContext ctx = Context(options);
    const ChainResult ran = ::RunChain(ctx, chain, run);
    return {ran.ended, ran.ran, ran.outcome, ran.keptPending};
}

IdentifyReport Session::Identify()
{
    IdentifyReport report;
    Link link{port_, cmd_, ui_};
    // No device is needed to read an ID.
    report.programmer = port_.IsOpen() && IsProgrammerReply(AskProgrammerVersion(link));
    if (report.programmer) report.chips = IdentifyChip(link);
    return report;
}

DevicePicked Session::PickDeviceFromChip()
{
    DevicePicked picked;
    Link link{port_, cmd_, ui_};
    picked.programmer = port_.IsOpen() && IsProgrammerReply(AskProgrammerVersion(link));
    if (!picked.programmer) return picked;
    picked.pick = PickDevice(IdentifyChip(link));
    // The command opens the port afresh, as it would with a part named.
    port_.ClosePort();
    if (picked.pick.Outcome == DevicePick::Picked) device_ = picked.pick.Device;
    return picked;
}
