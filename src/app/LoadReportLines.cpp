#include "LoadReportLines.h"

#include "Naming.h"
#include "texts/load_texts.h"

using Kind = ReportLine::Kind;

ReportLines LoadStartLines(const LoadReport &report, Audience who)
{
    ReportLines out;
    if (who != Audience::Terminal) return out;
    if (report.cleared) {
        out.Add(Kind::LogAsStatus, texts::BufferCleared());
    }
    if (report.DeviceChanged()) out.Add(Kind::Detail, "DEVICE: " + SelectedDeviceName(report.device));
    return out;
}

ReportLines LoadedLines(const LoadReport &report)
{
    ReportLines out;
    const std::string name = FileBaseName(report.file);
    out.Add(Kind::Log, texts::FileLoaded(name));
    out.Add(Kind::Status, texts::LoadedStatus(name));
    return out;
}
