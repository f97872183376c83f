#include "CliSession.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "catalogue/DeviceSpec.h"
#include "configbits/ConfigEdit.h"
#include "support/FileErrorText.h"
#include "Json.h"
#include "link/PortPermission.h"
#include "AppSettings.h"
#include "support/StandardStreams.h"
#include "link/SerialDevices.h"
#include "link/UsbAdapter.h"
#include "link/WireTrace.h"
#include "support/atomic_file.h"
#include "link/discovery.h"
#include "image/checksum.h"
#include "image/dump.h"
#include "image/hex.h"
#include "image/hex_load.h"
#include "image/hex_write.h"
#include "catalogue/DeviceSelection.h"
#include "link/identify.h"
#include "support/interrupt.h"
#include "operations/CalibrationLog.h"
#include "operations/operations.h"
#include "operations/regions.h"
#include "support/textutil.h"
#include "support/version.h"

namespace {

// A catalogue name of either family; row 0 of each table only switches the
// window's list and is no device.
DeviceSelection FindCatalogueDevice(const std::string &name)
{
    for (int i = 1; i < DeviceTableSize; ++i)
        if (SameTextIgnoringCase(DeviceTable[i].Name, name)) return {false, i};
    for (int i = 1; i < DeviceTable18Size; ++i)
        if (SameTextIgnoringCase(DeviceTable18[i].Name, name)) return {true, i};
    return {false, -1};
}

std::string DeviceName(bool pic18, int index)
{
    return DeviceName(DeviceSelection{pic18, index});
}

std::string FileName(const std::string &path)
{
    return std::filesystem::path(path).filename().string();
}

// A DEVICE-ID as read: the ID with its five revision bits apart, the ID as
// the catalogue carries it.
std::string DeviceIdText(uint16_t id)
{
    return Hex(id & ~0x1Fu, 4) + " rev " + std::to_string(id & 0x1F);
}

// The same for --json: the text, and the ID and the revision apart.
void AddDeviceIdFields(JsonObject &object, uint16_t id)
{
    object["device_id"] = DeviceIdText(id);
    object["id"] = Hex(id & ~0x1Fu, 4);
    object["revision"] = id & 0x1F;
}

// The word or two a script matches on, for a command that noted none.
const char *ResultFor(int status)
{
    switch (status) {
    case ExitSuccess:
        return "ok";
    case ExitNegative:
        return "failed";
    case ExitRefused:
        return "refused";
    case ExitFileError:
        return "file error";
    case ExitUsage:
        return "usage";
    case ExitInternal:
        return "internal error";
    default:
        return status > 128 ? "interrupted" : "failed";
    }
}

// A finding's kind as --json names it.
const char *LoadFindingKindWord(LoadFindingKind kind)
{
    switch (kind) {
    case LoadFindingKind::OutsidePart:
        return "outside_part";
    case LoadFindingKind::EepromHighByte:
        return "eeprom_high_byte";
    case LoadFindingKind::Pic18Image:
        return "pic18_image";
    case LoadFindingKind::ExtendedWraps:
        return "extended_wraps";
    case LoadFindingKind::SegmentIgnored:
        return "segment_ignored";
    case LoadFindingKind::OddBytes:
        return "odd_bytes";
    case LoadFindingKind::Overlap:
        return "overlap";
    }
    return "";
}

// The run's wire trace (--trace), shared by the sessions of a --repeat run.
std::shared_ptr<WireTrace> &CliTrace()
{
    static std::shared_ptr<WireTrace> trace;
    return trace;
}

// A verify's differences for --json: per memory the count and the first
// ones with the file's and the chip's values.
JsonObject DifferencesObject(const OperationResult &result)
{
    JsonObject memories = JsonObject::array();
    for (const MemoryDifferences &m : result.differing) {
        JsonObject first = JsonObject::array();
        for (const Difference &d : result.differences)
            if (d.memory == m.memory)
                first.push_back({{"address", d.address},
                                 {"file", d.file ? JsonObject(*d.file) : JsonObject(nullptr)},
                                 {"chip", d.chip ? JsonObject(*d.chip) : JsonObject(nullptr)}});
        memories.push_back({{"memory", MemoryName(m.memory)},
                            {"count", m.count},
                            {"unit", m.bytes ? "bytes" : "words"},
                            {"first", first}});
    }
    return memories;
}

} // namespace

bool StartCliTrace(const CliOptions &options, const std::vector<std::string> &args, std::string &error)
{
    const std::string settingsPath = options.settings.empty() ? WindowSettingsPath() : options.settings;
    const AppSettings saved = ReadAppSettings(SettingsFile(settingsPath));
    const std::string device = options.device.empty() ? saved.device.name : options.device;
    const std::string port = options.port.empty() ? StartingPortChoice(saved) : options.port;
    // Every file the run reads or writes: a trace in the place of one would
    // empty it (the HEX file to program) or be emptied by it.
    std::vector<std::string> inUse{settingsPath, options.log, CalibrationLogPath()};
    if (options.file != "-") inUse.push_back(options.file);
    if (!options.serialState.empty()) {
        inUse.push_back(options.serialState);
        inUse.push_back(options.serialState + ".lock");
    }
    CliTrace() = WireTrace::Create(options.trace,
                                   TraceHeader("tarnvik-cli", device, port, TraceCommandText(args)), inUse,
                                   error);
    return CliTrace() != nullptr;
}

void CliSession::TellTraceState()
{
    const std::shared_ptr<WireTrace> &trace = CliTrace();
    if (!trace) return;
    const int error = trace->Finish();
    fields_["trace_incomplete"] = error != 0;
    // Once a run: the sessions of a --repeat run share the trace.
    static std::atomic<bool> told{false};
    if (error != 0 && !told.exchange(true)) ui_.Error(TraceIncompleteText(trace->Path(), error));
}

const char *CommandWord(CliCommand command)
{
    switch (command) {
    case CliCommand::Ports:
        return "ports";
    case CliCommand::Version:
        return "version";
    case CliCommand::Devices:
        return "devices";
    case CliCommand::Identify:
        return "identify";
    case CliCommand::Read:
        return "read";
    case CliCommand::Program:
        return "program";
    case CliCommand::Verify:
        return "verify";
    case CliCommand::Erase:
        return "erase";
    case CliCommand::Blank:
        return "blank";
    case CliCommand::Dump:
        return "dump";
    case CliCommand::Config:
        return "config";
    case CliCommand::Kept:
        return "kept";
    default:
        return "";
    }
}

std::string WindowSettingsPath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return SettingsPathFor("");
    // The window is installed beside this program under the name tarnvik.
    return SettingsPathFor((exe.parent_path() / "tarnvik").string());
}

CliSession::CliSession(const CliOptions &options, TerminalFrontEnd &ui)
    : options_(options), ui_(ui),
      settings_(options.settings.empty() ? WindowSettingsPath() : options.settings),
      port_(MakePosixSerialBackend(),
            [this](const std::string &name) {
                if (!pathName_.empty() && name == pathName_) return pathOverride_;
                return ComPortDevice(settings_, name);
            }),
      buffer_(std::make_unique<MemoryBuffer>())
{
    port_.SetTrace(CliTrace());
}

bool CliSession::SelectDevice(std::string &error)
{
    // A settings file the user named must be the one used.
    if (!options_.settings.empty() && settings_.LoadState() == SettingsFile::State::Unreadable) {
        error = options_.settings + ": " + FileErrorReason(settings_.LoadError());
        return false;
    }
    if (!options_.device.empty()) {
        const DeviceSelection found = FindCatalogueDevice(options_.device);
        if (found.Index < 0) {
            error = "unknown device '" + options_.device + "' (see tarnvik-cli devices)";
            return false;
        }
        device_ = {found.Pic18, found.Index};
    } else {
        // The device the window would start with.
        const AppSettings::Device saved = ReadAppSettings(settings_).device;
        const DeviceSelection found = FindCatalogueDevice(saved.name);
        device_ = {saved.pic18, found.Pic18 == saved.pic18 ? found.Index : -1};
    }
    if (options_.command == CliCommand::Erase && CalibChange()) {
        const int index = device_.Index;
        if (index < 0) {
            error = "--cal1/--cal2 need a device (-d)";
            return false;
        }
        if (device_.Pic18 || DeviceTable[static_cast<size_t>(index)].CalibAddress1 == 0) {
            error = DeviceName(device_.Pic18, index) + " has no calibration words to replace";
            return false;
        }
        if (!options_.cal2.empty() && DeviceTable[static_cast<size_t>(index)].CalibAddress2 == 0) {
            error = DeviceName(false, index) + " has no second calibration word (--cal2)";
            return false;
        }
    }
    return true;
}

ModemOptions CliSession::Modem() const
{
    return ModemFor(ReadAppSettings(settings_).line);
}

void CliSession::ExplainOpenFailure(const std::string &path)
{
    ui_.Error(port_.LastError());
    const int error = port_.LastOpenErrno();
    if (!path.empty() && (error == EACCES || error == EPERM)) AdvisePermission({path});
}

void CliSession::AdvisePermission(const std::vector<std::string> &paths)
{
    for (const std::string &text : PermissionAdviceFor(paths))
        ui_.Error(EscapeControls(text));
}

void CliSession::OpenNamedPort(const std::string &name, const std::string &path)
{
    if (port_.OpenPort(name, Modem()) == 0) {
        ui_.Detail(name == path || !pathName_.empty() ? path + " をオープンしました。"
                                                      : name + " (" + path + ") をオープンしました。");
        return;
    }
    ui_.AddLogShowingMessages(name + " がオープンできません！");
    ExplainOpenFailure(path);
}

void CliSession::OpenPortForCommand()
{
    OpenPort();
    TellPortNotice();
    // What the programmer still sends from a command nobody waited for (a
    // run killed in the middle of a read) would spoil the first exchange.
    port_.DrainInput();
}

void CliSession::TellPortNotice()
{
    if (const std::string notice = port_.TakeNotice(); !notice.empty()) ui_.Error(notice);
}

OperationContext CliSession::Context()
{
    OperationContext ctx{port_, cmd_, *buffer_, ui_, device_};
    ctx.options.smallBlock = options_.smallBlock;
    ctx.options.verifyUserId = options_.verifyUserId;
    ctx.options.calibChange = CalibChange();
    // Four hex digits, the first two the high byte; anything else keeps the
    // word read from the chip.
    if (options_.cal1.size() == 4) ctx.options.cal1 = ParseConfigField(options_.cal1);
    if (options_.cal2.size() == 4) ctx.options.cal2 = ParseConfigField(options_.cal2);
    ctx.options.calibrationLogOptional = options_.noCalibrationLog;
    ctx.options.regions = options_.regions | (options_.keepEeprom ? RegionEEData : 0u);
    ctx.deviceId = checkedId_;
    return ctx;
}

int CliSession::Check()
{
    OperationContext ctx = Context();
    const OperationResult check = CheckConnection(ctx);
    checkedId_ = ctx.deviceId;
    const Refusal code = check.refusal;
    const bool reachedChip = check.kind != Outcome::LinkLost && check.kind != Outcome::Interrupted &&
                             code != Refusal::NoPort && code != Refusal::NoProgrammer &&
                             code != Refusal::NoDevice;
    // The check's own reads name the chip: reading again would only add a
    // programming-mode entry per chip.
    if (forChip_ && reachedChip) NoteDeviceId(check.deviceId);
    if (code == Refusal::WrongDevice) ExplainWrongChip(check.deviceId);
    if (check.Ok()) return ExitSuccess;
    outcome_ = check;
    if (check.kind == Outcome::LinkLost || check.kind == Outcome::Interrupted) {
        result_ = "link lost";
        return ExitNegative;
    }
    result_ = code == Refusal::NoPort         ? "port not open"
              : code == Refusal::NoProgrammer ? "no programmer"
                                              : "refused";
    return ExitRefused;
}

int CliSession::Chained(Chain chain, ChainRun run)
{
    run.progress = &ui_.MainProgress();
    OperationContext ctx = Context();
    const ChainResult ran = RunChain(ctx, chain, run);
    outcome_ = ran.outcome;
    // The copy of what the chip was to keep, where it may be gone from the chip.
    if (ran.keptPending) fields_["kept_copy"] = run.kept->path;
    const OperationResult &o = ran.outcome;
    if (!o.differing.empty()) fields_["differences"] = DifferencesObject(o);
    if (o.Ok()) {
        result_ = "ok";
        return ExitSuccess;
    }
    switch (ran.ended) {
    case Step::Erase:
        result_ = "erase failed";
        return o.kind == Outcome::Refused && o.refusal == Refusal::CalibrationLogUnwritable ? ExitFileError
                                                                                            : ExitNegative;
    case Step::BlankCheck:
        // A blank check that could not read the chip after an erase says so;
        // the blank command alone has always called any failure not blank.
        result_ = o.kind == Outcome::NotBlank || ran.ran.front() == Step::BlankCheck ? "not blank"
                                                                                     : "blank check failed";
        return ExitNegative;
    case Step::Program:
        result_ = "program failed";
        return ExitNegative;
    case Step::Verify:
        result_ = "verify failed";
        return ExitNegative;
    case Step::Read:
        result_ = "failed";
        return ExitNegative;
    }
    return ExitNegative;
}

void CliSession::NoteDeviceId(std::optional<uint16_t> id)
{
    idRead_ = id;
    if (idRead_) deviceIdRead_ = DeviceIdText(*idRead_);
}

void CliSession::ExplainWrongChip(std::optional<uint16_t> id)
{
    if (!id) return;
    const bool pic18 = device_.Pic18;
    const int index = device_.Index;
    const uint16_t expected = pic18 ? DeviceTable18[static_cast<size_t>(index)].DeviceId
                                    : DeviceTable[static_cast<size_t>(index)].DeviceId;
    const uint16_t masked = *id & (pic18 ? DeviceIdMask18 : DeviceIdMask16);
    std::string names;
    for (int row : DevicesWithId(pic18, *id))
        names += (names.empty() ? "" : ", ") + DeviceName(pic18, row);
    ui_.Error("DEVICE-ID read " + Hex(masked, 4) + " (rev " + std::to_string(*id & 0x1F) + "), expected " +
              Hex(expected, 4) + " for " + DeviceName(pic18, index) + "; " +
              (names.empty() ? "no catalogue device has DEVICE-ID " + Hex(masked, 4)
                             : "the chip in the socket looks like " + names + " (try -d " +
                                   names.substr(0, names.find(',')) + ")"));
}

void CliSession::ForChip(const MemoryBuffer *image, DeviceSelection device)
{
    forChip_ = true;
    image_ = image;
    imageDevice_ = device;
}

int CliSession::Prepare()
{
    std::string error;
    if (!SelectDevice(error)) {
        ui_.Error(error);
        return ExitUsage;
    }
    if (options_.file.empty()) return ExitSuccess;
    try {
        // Many chips are to get this image: a damaged file stops them all.
        if (const int refused = LoadFile(true)) return refused;
    } catch (const HexFileError &e) {
        ui_.DropStatus();
        ui_.Error(e.what());
        return ExitFileError;
    }
    // The chips' copies carry the settings already; applied again to a copy
    // they change nothing and log nothing.
    if (const int bad = ApplyConfigSettings()) return bad;
    return options_.command == CliCommand::Program ? RefuseMissingConfiguration() : ExitSuccess;
}

int CliSession::RefuseMissingConfiguration()
{
    if (configGiven_ || !options_.configSettings.empty() || options_.keepConfig ||
        !(options_.regions & RegionConfig))
        return ExitSuccess;
    ui_.DropStatus();
    ui_.Error(MissingConfigurationText(FileName(options_.file), device_, *buffer_));
    ui_.Error("--config で値を指定するか、--keep-config でデバイスのConfigurationを残してください。");
    result_ = "no configuration";
    return ExitFileError;
}

std::string CliSession::QuotedName() const
{
    return "\"" + FileName(options_.file) + "\"";
}

CliSession::~CliSession()
{
    if (!scratch_.empty()) std::remove(scratch_.c_str());
}

std::string CliSession::ScratchFile()
{
    if (!scratch_.empty()) return scratch_;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnvik-cli.XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw HexFileError(pattern, errno);
    close(fd);
    scratch_ = pattern;
    return scratch_;
}

int CliSession::LoadFile(bool refuseDamaged)
{
    if (image_) {
        // The image was read and judged once, before the chips were started.
        *buffer_ = *image_;
        device_ = {imageDevice_.Pic18, imageDevice_.Index};
        return ExitSuccess;
    }
    // Standard input the caller closed is /dev/null now: no file at all.
    if (options_.file == "-" && StandardStreamWasClosed(STDIN_FILENO))
        throw HexFileError(options_.file, EBADF, "standard input is closed");
    // Read once: the tag scan and the load see the same bytes, from a pipe too.
    const std::string text = ReadHexFile(options_.file);
    DeviceSelection device{device_.Pic18, device_.Index};
    if (options_.autoSelect) {
        const DeviceSelection named = DeviceForScannedName(ScanDeviceTagText(text));
        if (named.Index >= 0) device = named;
    }
    // The buffer is cleared for the device the file ends up with, so that
    // nothing from another device's image (PIC18 ID and configuration bytes
    // included) is programmed with it.
    if (device.Index >= 0) {
        if (device.Pic18)
            buffer_->Clear(DeviceTable18[static_cast<size_t>(device.Index)]);
        else
            buffer_->Clear(DeviceTable[static_cast<size_t>(device.Index)]);
        ui_.AddLog("バッファをクリアしました。");
        ui_.SetStatus("バッファをクリアしました。");
    }
    LoadOutcome outcome;
    outcome.Device = device;
    LoadNewText(text, *buffer_, options_.autoSelect, outcome);
    configGiven_ = outcome.ConfigurationSet;
    if (outcome.Device.Pic18 != device_.Pic18 || outcome.Device.Index != device_.Index)
        ui_.Detail("DEVICE: " + DeviceName(outcome.Device.Pic18, outcome.Device.Index));
    device_ = {outcome.Device.Pic18, outcome.Device.Index};

    const HexReadReport &read = outcome.Read;
    const std::string name = FileName(options_.file);
    if (read.Skipped > 0) {
        ui_.Error(SkippedLinesText(name, read));
        for (size_t i = 0; i < read.Lines.size() && i < SkippedLinesListed; ++i)
            std::fprintf(stderr, "  %s\n", SkippedLineText(read.Lines[i]).c_str());
        if (read.Skipped > static_cast<long>(SkippedLinesListed)) std::fprintf(stderr, "  …\n");
    }
    if (read.NoData()) ui_.Error(NoHexDataText(name));
    TellLoadFindings(outcome.Findings);
    // A damaged file, or one that is no HEX file at all, must never reach a
    // chip and end as "ベリファイOK".
    if (refuseDamaged && (read.NoData() || read.Skipped > 0)) {
        ui_.DropStatus();
        return ExitFileError;
    }
    // Nor may a file whose data the part would not get as written: a
    // program would leave it out and the verify then compare what is left.
    if (refuseDamaged && outcome.Findings.ChangesWhatIsWritten()) {
        ui_.Error(LoadFindingsRefusedText);
        ui_.DropStatus();
        return ExitFileError;
    }
    ui_.AddLog("ファイル " + QuotedName() + " をロードしました。");
    ui_.SetStatus(" " + QuotedName() + " をロードしました。");
    // What is to go into the chip, in the number the build tools print.
    if (refuseDamaged) TellChecksum();
    return ExitSuccess;
}

void CliSession::TellChecksum()
{
    if (device_.Index < 0) return;
    const uint16_t checksum = ImageChecksum(*buffer_, DeviceSelection{device_.Pic18, device_.Index});
    ui_.AddLog(ChecksumText(checksum));
    fields_["checksum"] = Hex(checksum, 4);
}

void CliSession::TellLoadFindings(const LoadFindings &findings)
{
    // Scripts get every finding kept as data, an empty list for a clean file.
    JsonObject list = JsonObject::array();
    for (const LoadFinding &f : findings.List) {
        // The digits the texts show: six for a file address above 64 KB.
        const int digits = std::max(f.First, f.Last) > 0xFFFF ? 6 : 4;
        JsonObject entry{{"line", f.Line},
                         {"first", Hex(f.First, digits)},
                         {"last", Hex(f.Last, digits)},
                         {"kind", LoadFindingKindWord(f.Kind)},
                         {"addresses", f.FileBytes ? "file bytes" : "buffer"},
                         {"changes_what_is_written", ChangesWhatIsWritten(f.Kind)}};
        if (f.Kind == LoadFindingKind::Overlap) entry["earlier_line"] = f.EarlierLine;
        list.push_back(entry);
    }
    fields_["findings"] = list;
    fields_["findings_count"] = findings.Count;
    if (findings.Empty()) return;
    ui_.Error(LoadFindingsText(FileName(options_.file), DeviceName(device_.Pic18, device_.Index),
                               findings));
    for (size_t i = 0; i < findings.List.size() && i < LoadFindingsListed; ++i)
        std::fprintf(stderr, "  %s\n", LoadFindingText(findings.List[i]).c_str());
    if (findings.Count > static_cast<long>(LoadFindingsListed)) std::fprintf(stderr, "  …\n");
}

int CliSession::Run()
{
    // Without --json an internal error is main's to report.
    if (!options_.json) {
        const int status = RunCommand();
        TellTraceState();
        return status;
    }
    int status = ExitInternal;
    try {
        status = RunCommand();
    } catch (const std::exception &e) {
        ui_.Error(std::string("internal error: ") + e.what());
        result_ = "internal error";
    } catch (...) {
        ui_.Error("internal error");
        result_ = "internal error";
    }
    TellTraceState();
    ui_.Emit(ResultObject(status));
    return status;
}

JsonObject CliSession::ResultObject(int status) const
{
    const int index = device_.Index;
    // The port as the user named it (-p), as the settings or the search
    // chose it, or as it is still open; the command has closed it by now.
    std::string port = port_.PortName();
    if (!pathOverride_.empty())
        port = pathOverride_;
    else if (port.empty())
        port = options_.port.empty() ? chosenPort_ : options_.port;
    JsonObject out;
    out["command"] = CommandWord(options_.command);
    out["device"] = index >= 0 ? JsonObject(DeviceName(device_.Pic18, index)) : JsonObject(nullptr);
    out["port"] = port.empty() ? JsonObject(nullptr) : JsonObject(port);
    out["result"] = result_.empty() || status > 128 ? ResultFor(status) : result_;
    // How the link was lost, for a script to tell a noisy cable from a board
    // that is gone.
    if (outcome_ && outcome_->LostLink()) out["link_error"] = LinkFaultWord(outcome_->linkFault);
    if (idRead_) AddDeviceIdFields(out, *idRead_);
    for (const auto &field : fields_.items())
        out[field.key()] = field.value();
    out["messages"] = ui_.Messages();
    out["exit_status"] = status;
    return out;
}

int CliSession::RunCommand()
{
    std::string error;
    if (!SelectDevice(error)) {
        // A device name or calibration option the command line got wrong.
        ui_.Error(error);
        return ExitUsage;
    }
    int status = ExitSuccess;
    try {
        if (options_.autoDevice) status = PickDeviceFromChip();
        switch (status == ExitSuccess ? options_.command : CliCommand::None) {
        case CliCommand::Ports:
            status = Ports();
            break;
        case CliCommand::Version:
            status = Version();
            break;
        case CliCommand::Devices:
            status = Devices();
            break;
        case CliCommand::Identify:
            status = Identify();
            break;
        case CliCommand::Read:
            status = Read();
            break;
        case CliCommand::Program:
            status = Program();
            break;
        case CliCommand::Verify:
            status = Verify();
            break;
        case CliCommand::Erase:
            status = Erase();
            break;
        case CliCommand::Blank:
            status = Blank();
            break;
        case CliCommand::Dump:
            status = Dump();
            break;
        case CliCommand::Config:
            status = Config();
            break;
        case CliCommand::Kept:
            status = Kept();
            break;
        case CliCommand::Help:
        case CliCommand::ProgramVersion:
        case CliCommand::None:
            break;
        }
    } catch (const HexFileError &e) {
        // The file's failure ends the command: a status written before it
        // (a cleared buffer) is no result.
        ui_.DropStatus();
        ui_.Error(e.what());
        port_.ClosePort();
        return ExitFileError;
    }
    if (InterruptRequested()) {
        // The operation has left programming mode like after any failure;
        // what it was doing is the last status it set.
        ui_.DropStatus();
        port_.ClosePort();
        const std::string what = ui_.Status();
        ui_.Interrupted("中断しました。" + (what.empty() ? std::string() : "（" + what + "）"));
        const int sig = InterruptSignal();
        return 128 + (sig ? sig : SIGINT);
    }
    ui_.FinishStatus();
    port_.ClosePort();
    return status;
}

int CliSession::Version()
{
    OpenPortForCommand();
    ui_.AddLog(std::string("ソフトウェアバージョン ") + SoftwareVersion);
    Link link{port_, cmd_, ui_};
    const std::string reply = AskProgrammerVersion(link);
    fields_["software"] = SoftwareVersion;
    fields_["controller"] = IsProgrammerReply(reply) ? JsonObject(reply) : JsonObject(nullptr);
    if (IsProgrammerReply(reply)) {
        ui_.Print("コントローラバージョン " + reply);
        return ExitSuccess;
    }
    ui_.AddLogShowingMessages("コントローラバージョンが取得できません。");
    ui_.SetStatus("コントローラバージョンが取得できません。");
    return ExitRefused;
}

int CliSession::Devices()
{
    if (!options_.configDevice.empty()) return ConfigList();
    if (options_.names) {
        for (int i = 1; i < DeviceTableSize; ++i)
            ui_.Print(DeviceTable[static_cast<size_t>(i)].Name);
        for (int i = 1; i < DeviceTable18Size; ++i)
            ui_.Print(DeviceTable18[static_cast<size_t>(i)].Name);
        return ExitSuccess;
    }
    JsonObject rows = JsonObject::array();
    auto row = [&](const char *name, const char *family, unsigned size, const char *unit, unsigned eeData,
                   unsigned id) {
        char line[160];
        std::snprintf(line, sizeof line, "%-12s %-6s program %6u %-5s  EEData %4u bytes  DEVICE-ID %s", name,
                      family, size, unit, eeData, id ? Hex(id, 4).c_str() : "----");
        ui_.Print(line);
        rows.push_back({{"name", name},
                        {"family", family},
                        {"program_size", size},
                        {"program_unit", unit},
                        {"eedata_bytes", eeData},
                        {"device_id", id ? JsonObject(Hex(id, 4)) : JsonObject(nullptr)}});
    };
    for (int i = 1; i < DeviceTableSize; ++i) {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(i)];
        row(d.Name, d.Is12Bit() ? "12-bit" : "14-bit", d.ProgramSize, "words", d.EEDataSize, d.DeviceId);
    }
    for (int i = 1; i < DeviceTable18Size; ++i) {
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(i)];
        row(d.Name, "PIC18", d.ProgramSize, "bytes", d.EEDataSize, d.DeviceId);
    }
    fields_["devices"] = rows;
    return ExitSuccess;
}

int CliSession::Kept()
{
    JsonObject rows = JsonObject::array();
    const std::vector<KeptCopy> copies = ListKeptCopies();
    for (const KeptCopy &copy : copies) {
        ui_.Print(copy.time + "  " + copy.device + "  DEVICE-ID " + copy.deviceId + "  " +
                  KeptRegionNames(copy.regions) + "  " + copy.path);
        rows.push_back({{"time", copy.time},
                        {"device", copy.device},
                        {"device_id", copy.deviceId == "----" ? JsonObject(nullptr) : JsonObject(copy.deviceId)},
                        {"memories", KeptRegionNames(copy.regions)},
                        {"path", copy.path}});
    }
    if (copies.empty()) ui_.AddLog("書き戻しを待つ控えはありません（" + KeptFolder() + "）。");
    fields_["kept"] = rows;
    return ExitSuccess;
}

int CliSession::Identify()
{
    OpenPortForCommand();
    Link link{port_, cmd_, ui_};
    // Port and programmer as the check sees them; its refusal texts are the
    // ones to show. No device is needed to read an ID.
    if (!port_.IsOpen() || !IsProgrammerReply(AskProgrammerVersion(link))) {
        const int refused = Check();
        return refused ? refused : ExitNegative;
    }
    const auto found = IdentifyChip(link);
    result_ = found.empty() ? "no DEVICE-ID" : "ok";
    if (!found.empty()) {
        idRead_ = found.front().Id;
        deviceIdRead_ = DeviceIdText(*idRead_);
    }
    if (found.empty()) {
        ui_.AddLogShowingMessages("DEVICEIDを確認できませんでした。");
        ui_.SetStatus(" !! DEVICE-IDを確認できませんでした。");
        return ExitNegative;
    }
    // An ID no catalogue row carries (an empty socket reading all ones, a
    // part Tarnvik does not know) is shown but is no identification.
    bool named = false;
    JsonObject chips = JsonObject::array();
    for (const ChipIdentity &chip : found) {
        named = named || !chip.Rows.empty();
        std::string names;
        JsonObject nameList = JsonObject::array();
        for (int row : chip.Rows) {
            names += (names.empty() ? "" : ", ") + DeviceName(chip.Pic18, row);
            nameList.push_back(DeviceName(chip.Pic18, row));
        }
        // The ID as the catalogue (devices) and the check know it, with the
        // silicon revision apart.
        ui_.Print("DEVICE-ID " + DeviceIdText(chip.Id) + (chip.Pic18 ? " (PIC18)  " : " (PIC10/12/16)  ") +
                  (names.empty() ? "-" : names));
        JsonObject entry;
        AddDeviceIdFields(entry, chip.Id);
        entry["family"] = chip.Pic18 ? "PIC18" : "PIC10/12/16";
        entry["names"] = nameList;
        chips.push_back(entry);
    }
    fields_["chips"] = chips;
    if (!named) result_ = "unknown chip";
    return named ? ExitSuccess : ExitNegative;
}

int CliSession::PickDeviceFromChip()
{
    OpenPortForCommand();
    Link link{port_, cmd_, ui_};
    if (!port_.IsOpen() || !IsProgrammerReply(AskProgrammerVersion(link))) {
        const int refused = Check();
        return refused ? refused : ExitNegative;
    }
    const DevicePick pick = PickDevice(IdentifyChip(link));
    // The command opens the port afresh, as it would with -d NAME.
    port_.ClosePort();
    if (pick.Outcome != DevicePick::Picked) {
        ui_.AddLogShowingMessages(DevicePickText(pick));
        ui_.SetStatus(" !! デバイスを選択してください。");
        result_ = "refused";
        return ExitRefused;
    }
    device_ = pick.Device;
    ui_.AddLog(DevicePickText(pick));
    return ExitSuccess;
}

int CliSession::Read()
{
    // An output that cannot be written is found out before the chip is
    // read, not after.
    if (const int error = CheckFileReplaceable(options_.file)) throw HexFileError(options_.file, error);
    const bool toStdout = options_.file == "-";
    if (toStdout && StandardStreamWasClosed(STDOUT_FILENO))
        throw HexFileError(options_.file, EBADF, "standard output is closed");
    OpenPortForCommand();
    if (const int refused = Check()) return refused;
    // Memories left out are saved blank, that is not at all.
    if (options_.regions != RegionAll && device_.Index >= 0) {
        if (device_.Pic18)
            buffer_->Clear(DeviceTable18[static_cast<size_t>(device_.Index)]);
        else
            buffer_->Clear(DeviceTable[static_cast<size_t>(device_.Index)]);
    }
    OperationContext ctx = Context();
    ui_.SetStatus("デバイスから読込み中…");
    const OperationResult read = ReadDevice(ctx, &ui_.MainProgress());
    outcome_ = read;
    if (!read) return ExitNegative;
    TellChecksum();
    SaveBuffer(toStdout ? ScratchFile() : options_.file, *buffer_, {device_.Pic18, device_.Index},
               options_.saveAll);
    if (toStdout) {
        std::ifstream saved(scratch_, std::ios::binary);
        std::cout << saved.rdbuf() << std::flush;
        // A reader that went away, a full disk behind a redirection: the
        // file was not saved.
        if (!std::cout) throw HexFileError(options_.file, errno ? errno : EIO);
    }
    ui_.AddLog("ファイル " + QuotedName() + " にセーブしました。");
    ui_.SetStatus(" " + QuotedName() + " にセーブしました。");
    // Saved as the chip gave it, but what its protection hides is zeros:
    // no script may take the file for the chip's contents.
    fields_["protected"] = read.readProtected;
    if (read.readProtected) {
        result_ = "protected";
        return ExitNegative;
    }
    return ExitSuccess;
}

int CliSession::RefuseRegionErase()
{
    if (!options_.erase || options_.regions == RegionAll || device_.Index < 0) return ExitSuccess;
    const size_t row = static_cast<size_t>(device_.Index);
    const bool hasEEData = device_.Pic18 ? DeviceTable18[row].EEDataSize != 0 : DeviceTable[row].EEDataSize != 0;
    const unsigned kept = options_.regions | (options_.keepEeprom || !hasEEData ? RegionEEData : 0u);
    if (kept == RegionAll) return ExitSuccess;
    ui_.DropStatus();
    ui_.Error(std::string("--erase: ") + DeviceName(device_.Pic18, device_.Index) +
              " は一括消去で全メモリーを消去するため、--only には code,id,config" +
              (hasEEData ? "（と eeprom、または --keep-eeprom）" : "") + " が必要です。");
    result_ = "refused";
    return ExitRefused;
}

int CliSession::Program()
{
    if (const int refused = LoadFile(true)) return refused;
    if (const int bad = ApplyConfigSettings()) return bad;
    if (const int refused = RefuseMissingConfiguration()) return refused;
    if (const int refused = RefuseRegionErase()) return refused;
    OpenPortForCommand();
    if (const int refused = Check()) return refused;
    // What the chip holds of the kept memories takes the place of the
    // file's and is on the disk before the chain writes anything; a read or
    // a copy that fails ends the command with its outcome.
    const unsigned keep = (options_.keepConfig ? RegionConfig : 0u) | (options_.keepEeprom ? RegionEEData : 0u);
    KeptCopy kept;
    if (keep) {
        OperationContext ctx = Context();
        const uint16_t fileChecksum = ImageChecksum(*buffer_, ctx.device);
        outcome_ = KeepFromChip(ctx, keep, kept);
        if (!*outcome_) {
            result_ = outcome_->kind == Outcome::Refused ? "refused" : "link lost";
            return outcome_->refusal == Refusal::KeptCopyUnwritable ? ExitFileError
                   : outcome_->kind == Outcome::Refused           ? ExitRefused
                                                                  : ExitNegative;
        }
        // The checksum said at the load is the file's; the chip gets this.
        if (const uint16_t checksum = ImageChecksum(*buffer_, ctx.device); checksum != fileChecksum) {
            ui_.AddLog("書き込むデータの" + ChecksumText(checksum) + "（デバイスのConfigurationを残したため、ファイルの " +
                       Hex(fileChecksum, 4) + " とは異なります）");
            fields_["checksum"] = Hex(checksum, 4);
            fields_["file_checksum"] = Hex(fileChecksum, 4);
        }
    }
    ChainRun run;
    run.fileName = FileName(options_.file);
    run.verify = options_.verify;
    run.fastCycle = options_.fastCycle;
    if (keep) run.kept = &kept;
    // A copy programmed back by hand is done with once the chip has it.
    const std::optional<KeptCopy> restoring = KeptCopyAt(options_.file);
    // A chip the program could not finish is not verified: the program's
    // failure is the result, and a lost link fails at once.
    const int status = Chained(options_.erase ? Chain::EraseBlankCheckProgramVerify : Chain::ProgramVerify, run);
    if (restoring && status == ExitSuccess && options_.verify && ForgetKeptCopy(*restoring).empty())
        ui_.AddLog("控えのデータを書き戻しました。控えのファイルを削除しました: " + restoring->path);
    return status;
}

int CliSession::Verify()
{
    if (const int refused = LoadFile(true)) return refused;
    if (const int bad = ApplyConfigSettings()) return bad;
    OpenPortForCommand();
    if (const int refused = Check()) return refused;
    return Chained(Chain::Verify, {});
}

int CliSession::Erase()
{
    // A calibration change the part's erase cannot honour is refused before
    // the port is even opened.
    const int index = device_.Index;
    if (CalibChange() && !device_.Pic18 && index >= 0 &&
        !CalibChangeHonoured(DeviceTable[static_cast<size_t>(index)])) {
        ui_.AddLogShowingMessages(CalibChangeRefusedText);
        ui_.SetStatus(std::string(" !! ") + CalibChangeRefusedText);
        result_ = "refused";
        return ExitRefused;
    }
    OpenPortForCommand();
    if (const int refused = Check()) return refused;
    // A failed erase keeps its own texts; the blank check after it would
    // only repeat the failure under a text that says the chip was erased.
    return Chained(Chain::EraseBlankCheck, {});
}

int CliSession::Blank()
{
    OpenPortForCommand();
    if (const int refused = Check()) return refused;
    return Chained(Chain::BlankCheck, {});
}

int CliSession::RefuseNoDevice()
{
    ui_.AddLogShowingMessages("DEVICE が選択されていません。");
    ui_.SetStatus(" !! デバイスを選択してください。");
    return ExitRefused;
}

int CliSession::Dump()
{
    LoadFile(false);
    const int index = device_.Index;
    if (index < 0) return RefuseNoDevice();
    const bool pic18 = device_.Pic18;
    std::string program, data, config;
    if (pic18) {
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(index)];
        program = ProgramDumpText(*buffer_, d);
        data = DataDumpText(*buffer_, d);
        config = ConfigDumpText18(*buffer_);
    } else {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(index)];
        program = ProgramDumpText(*buffer_, d);
        data = DataDumpText(*buffer_, d);
        config = ConfigDumpText(*buffer_, d);
    }
    ui_.Print(ProgramDumpHeader(pic18));
    ui_.Print(program);
    if (!data.empty()) {
        ui_.Print("");
        ui_.Print(DataDumpHeader());
        ui_.Print(data);
    }
    ui_.Print("");
    ui_.Print(ConfigDumpHeader(pic18));
    ui_.Print(config);
    const uint16_t checksum = ImageChecksum(*buffer_, DeviceSelection{pic18, index});
    ui_.Print("");
    ui_.Print(ChecksumText(checksum));
    fields_["checksum"] = Hex(checksum, 4);
    return ExitSuccess;
}
