// The front end of the command line: log lines and the status line go to
// stdout as UTF-8 text, the progress bar to stderr when that is a terminal,
// and the option states come from the command-line flags.
#pragma once

#include <cstdio>
#include <string>

#include "CliOptions.h"
#include "FrontEnd.h"

// A bar drawn on one terminal line with carriage returns; silent when the
// stream is not a terminal.
class TerminalProgress : public ProgressBar {
public:
    explicit TerminalProgress(FILE *out, bool enabled) : out_(out), enabled_(enabled) {}
    void SetRange(int minimum, int maximum) override;
    void StepIt() override;
    void SetPosition(int position) override;
    // Erases a drawn bar so that the next text starts on a clean line.
    void Clear();

private:
    void Draw();

    FILE *out_;
    bool enabled_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int drawnWidth_ = -1; // filled cells last drawn; -1 = nothing on the line
};

class NullProgress : public ProgressBar {
public:
    void SetRange(int, int) override {}
    void StepIt() override {}
    void SetPosition(int) override {}
};

class TerminalFrontEnd : public FrontEnd {
public:
    TerminalFrontEnd(const CliOptions &options, FILE *out, FILE *progressOut, bool progressIsTerminal);

    void SetStatus(const std::string &text) override;
    void AddLog(const std::string &line) override;
    void AddLogShowingMessages(const std::string &line) override;
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar_; }
    ProgressBar &DialogProgress() override { return noBar_; }
    void ShowMessage(const std::string &text) override;
    void ProcessMessages() override {}

    bool SmallBlock() const override { return options_.smallBlock; }
    bool VerifyUserId() const override { return options_.verifyUserId; }
    bool CalibChange() const override { return calibChange_; }
    void SetCalibChange(bool on) override { calibChange_ = on; }
    std::string Cal1Text() const override { return options_.cal1; }
    std::string Cal2Text() const override { return options_.cal2; }
    bool Pic18Family() const override { return pic18_; }
    int SelectedIndex() const override { return selected_; }

    void Select(bool pic18, int index)
    {
        pic18_ = pic18;
        selected_ = index;
    }

    // A line of the command's own result (catalogue, dumps, port states,
    // versions, IDs): printed even when quiet.
    void Print(const std::string &line);
    // The port being opened and the like: verbose mode only.
    void Detail(const std::string &line);
    // Writes the last status text once, at the end of the command; nothing
    // when the command never set one.
    void FinishStatus();
    // Ends the command without its status text (a file error replaces it).
    void DropStatus();
    // The last status text set.
    const std::string &Status() const { return status_; }

private:
    void Line(const std::string &line, FILE *to);
    void Line(const std::string &line) { Line(line, logOut_); }

    const CliOptions &options_;
    FILE *out_;
    FILE *logOut_; // stdout, or with --json stderr so that stdout holds the data alone
    TerminalProgress bar_;
    NullProgress noBar_;
    bool calibChange_;
    bool pic18_ = false;
    int selected_ = -1;
    std::string status_;
    bool statusShown_ = false; // verbose mode shows each status as it comes
};
