// What the window and the terminal say of one port choice: the same texts,
// each on its own channel and in its own order.
#include <gtest/gtest.h>

#include <cerrno>

#include "PortReportLines.h"
#include "texts/port_texts.h"

namespace {

using Kind = ReportLine::Kind;

std::vector<Kind> Kinds(const ReportLines &r)
{
    std::vector<Kind> kinds;
    for (const ReportLine &line : r.lines)
        kinds.push_back(line.kind);
    return kinds;
}

TEST(PortChosenLines, EachAudienceItsChannelsAndOrder)
{
    PortChosen denied;
    denied.choice = {PortHow::Fixed, "COM3", "/dev/ttyUSB0", {}, {}, {}};
    denied.openError = "refused";
    denied.openErrno = EACCES;
    denied.notice = "latency";
    PortChosen found;
    found.choice.how = PortHow::Searched;
    found.port = "COM2";
    found.opened = true;
    found.denied = {"/dev/ttyS4"};
    PortChosen none = found;
    none.searchResult = 1;
    const struct {
        const PortChosen &chosen;
        Audience who;
        std::vector<Kind> kinds;
    } cases[] = {
        // The window: notice first, advice before the request, a status.
        {denied, Audience::Window, {Kind::Log, Kind::Log, Kind::Advice, Kind::Log, Kind::Status}},
        // The terminal: the failure's words and the advice after, the notice last.
        {denied, Audience::Terminal, {Kind::Log, Kind::Log, Kind::Error, Kind::Advice, Kind::Error}},
        // A search that found one: the window still names refused nodes.
        {found, Audience::Window, {Kind::Advice, Kind::Log, Kind::Log, Kind::Status}},
        {found, Audience::Terminal, {Kind::Detail, Kind::Detail}},
        {none, Audience::Terminal, {Kind::Advice, Kind::LogShown}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Kinds(PortChosenLines(c.chosen, c.who)), c.kinds) << static_cast<int>(c.who);

    // A fixed port that opened: the window tells whether the programmer answered.
    PortChosen fixed;
    fixed.choice = {PortHow::Fixed, "COM3", "/dev/ttyUSB0", {}, {}, {}};
    fixed.opened = true;
    fixed.programmer = false;
    EXPECT_EQ(PortChosenLines(fixed, Audience::Window).lines.back().text, texts::NoProgrammerOn("COM3"));
    fixed.programmer = true;
    EXPECT_EQ(PortChosenLines(fixed, Audience::Window).lines.back().text,
              texts::PortOpenedWithProgrammer("COM3"));
}

} // namespace
