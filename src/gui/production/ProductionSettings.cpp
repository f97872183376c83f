#include "ProductionSettings.h"

#include <fstream>

#include "production/ChipHook.h"
#include "production/SerialNumber.h"

namespace {

std::string Trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<PlanRefusal> PlanSerials(const AppSettings::Production &s, ProductionPlan &plan)
{
    const auto format = ParseSerialFormat(s.serialFormat);
    if (!format) return PlanRefusal{PlanSetting::SerialFormat, s.serialFormat};
    uint64_t at = 0;
    if (!ParseNumber(Trimmed(s.serialAt), at) || at > 0xFFFFFFFF) return PlanRefusal{PlanSetting::SerialAt, s.serialAt};
    if (s.serialBytes < 1 || s.serialBytes > 8)
        return PlanRefusal{PlanSetting::SerialBytes, std::to_string(s.serialBytes)};
    const std::string start = Trimmed(s.serialStart);
    // As on the command line: a list or a count, and one of them (or a
    // state file to go on from).
    if ((!start.empty() && !s.serialList.empty()) ||
        (start.empty() && s.serialList.empty() && s.serialState.empty()))
        return PlanRefusal{PlanSetting::SerialSource, start};
    if (!start.empty() && !ParseSerialStart(start, plan.serialStart, plan.serialStep))
        return PlanRefusal{PlanSetting::SerialStart, start};
    plan.serial = true;
    plan.serialLayout = {*format, static_cast<uint32_t>(at), s.serialBytes, false};
    plan.serialStartGiven = !start.empty() || !s.serialList.empty();
    plan.serialList = s.serialList;
    plan.serialState = s.serialState;
    return std::nullopt;
}

} // namespace

std::optional<PlanRefusal> PlanFromSettings(const AppSettings::Production &s, ProductionPlan &plan)
{
    plan.command = ChipCommand::Program;
    plan.erase = s.erase;
    plan.verify = true;
    plan.ports = SplitPorts(s.ports);
    // Two sessions on one board would talk over each other.
    for (size_t i = 0; i < plan.ports.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (plan.ports[i] == plan.ports[j]) return PlanRefusal{PlanSetting::Ports, plan.ports[i]};
    plan.log = s.log;
    if (s.serial)
        if (auto refused = PlanSerials(s, plan)) return refused;
    std::string why;
    if (!s.onPass.empty() && !SplitCommandWords(s.onPass, plan.onPass, why))
        return PlanRefusal{PlanSetting::OnPass, why};
    if (!s.onFail.empty() && !SplitCommandWords(s.onFail, plan.onFail, why))
        return PlanRefusal{PlanSetting::OnFail, why};
    return std::nullopt;
}

std::vector<std::string> SplitPorts(const std::string &text)
{
    std::vector<std::string> ports;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string port = Trimmed(text.substr(from, comma == std::string::npos ? comma : comma - from));
        if (!port.empty()) ports.push_back(port);
        if (comma == std::string::npos) return ports;
        from = comma + 1;
    }
}

std::string JoinPorts(const std::vector<std::string> &ports)
{
    std::string text;
    for (const std::string &p : ports)
        text += (text.empty() ? "" : ", ") + p;
    return text;
}

namespace {

// The fields of one CSV row, a quoted field's commas and doubled quotes
// taken as the log writes them.
std::vector<std::string> CsvFields(const std::string &line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace

LogCounts CountLogRows(const std::string &path)
{
    LogCounts counts;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return counts; // the header
    constexpr size_t ResultColumn = 5;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::vector<std::string> fields = CsvFields(line);
        if (fields.size() > ResultColumn && fields[ResultColumn] == "ok")
            ++counts.passed;
        else
            ++counts.failed;
    }
    return counts;
}
