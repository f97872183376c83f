// A host side wired to the in-process simulator: port, command record and a
// quiet front end, as the operations use them.
#pragma once

#include <memory>
#include <string>

#include "FrontEnd.h"
#include "link/PICCommand.h"
#include "SimBackend.h"
#include "link/serial.h"

class QuietProgress : public ProgressBar {
public:
    void SetRange(int, int) override {}
    void StepIt() override {}
    void SetPosition(int) override {}
};

class QuietFrontEnd : public FrontEnd {
public:
    std::string status;
    std::vector<std::string> messages;
    QuietProgress bar;

    void SetStatus(const std::string &text) override { status = text; }
    void AddLog(const std::string &) override {}
    void AddLogShowingMessages(const std::string &) override {}
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar; }
    ProgressBar &DialogProgress() override { return bar; }
    void ShowMessage(const std::string &text) override { messages.push_back(text); }
    void ProcessMessages() override {}
};

struct SimRig {
    SerialPort port;
    SimBackend &sim;
    TCommand cmd;
    QuietFrontEnd ui;
    Link link{port, cmd, ui};

    explicit SimRig(SimOptions options = {})
        : port(std::make_unique<SimBackend>(std::move(options))),
          sim(static_cast<SimBackend &>(port.Backend()))
    {
        port.OpenPort("COM1");
    }
};
