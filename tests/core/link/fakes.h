// A scripted serial line and a recording front end for byte-level tests.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "FrontEnd.h"
#include "link/PICCommand.h"
#include "link/serial.h"

using Bytes = std::vector<uint8_t>;

// Replies come from a queue of chunks. A read takes bytes from the front
// chunks until it has n or meets an empty chunk, which stands for one read
// that times out with nothing. Every write is recorded as one entry.
class ScriptedBackend : public SerialBackend {
public:
    std::vector<Bytes> writes;
    std::deque<Bytes> replies;
    std::vector<std::string> events;
    bool openOk = true, closeOk = true, valid = false;
    int openErrno = 0; // the system's reason a refused open gives
    int heldBackMs = 0; // an adapter's latency timer

    bool Open(const std::string &path, std::string &error) override
    {
        events.push_back("open " + path);
        valid = openOk;
        if (!openOk) error = path + ": refused";
        return openOk;
    }
    bool Close() override
    {
        events.push_back("close");
        if (closeOk) valid = false;
        return closeOk;
    }
    bool IsValid() const override { return valid; }
    void ApplyLineSettings() override { events.push_back("line"); }
    void SetTimeouts(int r, int w) override
    {
        events.push_back("timeouts " + std::to_string(r) + " " + std::to_string(w));
    }
    void SetModemLine(ModemLine l, bool on) override
    {
        events.push_back(std::string(l == ModemLine::RTS ? "rts " : "dtr ") + (on ? "on" : "off"));
    }
    void PurgeOutput() override { events.push_back("purge out"); }
    void PurgeInput() override { events.push_back("purge in"); }
    void ClearErrors() override { events.push_back("clear"); }
    size_t Write(const uint8_t *d, size_t n) override
    {
        writes.emplace_back(d, d + n);
        return n;
    }
    size_t Read(uint8_t *d, size_t n) override
    {
        size_t got = 0;
        while (got < n && !replies.empty()) {
            Bytes &front = replies.front();
            if (front.empty()) {
                if (got == 0) replies.pop_front();
                break;
            }
            size_t take = std::min(n - got, front.size());
            std::copy(front.begin(), front.begin() + take, d + got);
            front.erase(front.begin(), front.begin() + take);
            got += take;
            if (front.empty()) replies.pop_front();
        }
        return got;
    }
    void Pause(int ms) override { events.push_back("pause " + std::to_string(ms)); }
    int LastOpenErrno() const override { return openOk ? 0 : openErrno; }
    int HeldBackMs() const override { return heldBackMs; }
};

class RecordingProgress : public ProgressBar {
public:
    int maximum = -1, steps = 0, position = -1;
    void SetRange(int, int max) override { maximum = max; }
    void StepIt() override { ++steps; }
    void SetPosition(int p) override { position = p; }
};

class RecordingFrontEnd : public FrontEnd {
public:
    std::vector<std::string> messages;
    int pumped = 0;
    RecordingProgress main, dialog;

    void SetStatus(const std::string &) override {}
    void AddLog(const std::string &) override {}
    void AddLogShowingMessages(const std::string &) override {}
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return main; }
    ProgressBar &DialogProgress() override { return dialog; }
    void ShowMessage(const std::string &text) override { messages.push_back(text); }
    void ProcessMessages() override { ++pumped; }
};

// Builds the expected writes and the scripted replies of a conversation side
// by side, in the wire format of each single command.
struct Talk {
    std::vector<Bytes> out;
    std::deque<Bytes> in;

    Talk &echo(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes) {
            out.push_back({b});
            in.push_back({b});
        }
        return *this;
    }
    Talk &send(Bytes b)
    {
        out.push_back(std::move(b));
        return *this;
    }
    Talk &reply(Bytes b)
    {
        in.push_back(std::move(b));
        return *this;
    }
    // A payload in one write, answered by its checksum.
    Talk &block(Bytes payload)
    {
        uint8_t sum = 0;
        for (uint8_t b : payload)
            sum = static_cast<uint8_t>(sum + b);
        out.push_back(std::move(payload));
        in.push_back({sum});
        return *this;
    }
    Talk &words(int n, uint16_t (*valueAt)(int))
    {
        Bytes b;
        for (int i = 0; i < n; ++i) {
            b.push_back(static_cast<uint8_t>(valueAt(i)));
            b.push_back(static_cast<uint8_t>(valueAt(i) >> 8));
        }
        return reply(b);
    }

    Talk &enter(int m) { return echo({0x00, uint8_t(m == 0 ? 1 : 3)}); }
    Talk &exit(int m) { return echo({0x00, uint8_t(m == 0 ? 2 : 4)}); }
    Talk &icsp(uint8_t c) { return echo({0x01, c}); }
    Talk &timed(uint8_t c, uint8_t t) { return echo({0x03, c, t}); }
    Talk &pair(uint8_t c1, uint8_t c2, uint8_t t) { return echo({0x05, c1, c2, t}); }
    Talk &load(uint8_t c, uint16_t w) { return echo({0x04, c, uint8_t(w), uint8_t(w >> 8)}); }
    Talk &repeat(uint16_t n) { return echo({0x06, 0x06, uint8_t(n), uint8_t(n >> 8)}); }
    Talk &stream(uint8_t c, uint16_t n) { return echo({0x07, c, uint8_t(n), uint8_t(n >> 8)}); }
    Talk &readWord(uint16_t w)
    {
        return echo({0x02}).send({0x04}).reply({0x04, uint8_t(w), uint8_t(w >> 8)});
    }
    Talk &tablePtr(uint32_t a) { return echo({0x0B}).block({uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16)}); }
    Talk &tableRead(uint16_t n) { return echo({0x0C}).send({uint8_t(n), uint8_t(n >> 8)}); }
    Talk &instr(uint8_t c, uint16_t op, uint8_t mode, uint8_t t)
    {
        return echo({0x09}).block({c, uint8_t(op), uint8_t(op >> 8), t, mode});
    }
};

// A port opened on a scripted line, the shared record and a front end.
struct LinkFixture {
    ScriptedBackend *line;
    SerialPort port;
    TCommand cmd;
    RecordingFrontEnd ui;
    Link link{port, cmd, ui};

    LinkFixture() : line(new ScriptedBackend), port(std::unique_ptr<SerialBackend>(line))
    {
        port.OpenPort("COM1");
        line->events.clear();
    }
    void play(const Talk &t) { line->replies = t.in; }
};
