// The front end of the command line: log lines and the status line go to
// stdout as UTF-8 text (stderr with --json, which keeps them for the result
// object), the progress bar to stderr when that is a terminal,
// and the answers to its questions come from the command-line flags.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "FrontEnd.h"
#include "Json.h"

// One line on the terminal, redrawn in place: the phase, the percent, a bar
// and the time left, fitted to the terminal's width so that a narrow
// terminal never wraps it into stacked lines. Silent when the stream is not
// a terminal.
class TerminalProgress : public ProgressBar {
public:
    explicit TerminalProgress(FILE *out, bool enabled) : out_(out), enabled_(enabled) {}
    void SetRange(int minimum, int maximum) override;
    void StepIt() override;
    void SetPosition(int position) override;
    // The phase named at the line's start ("書き込み", "ベリファイ", ...).
    void SetPhase(Phase phase) override;
    // Columns to fit into; 0 asks the terminal each time.
    void SetColumns(int columns) { columns_ = columns; }
    // Erases a drawn bar so that the next text starts on a clean line.
    void Clear();
    // The line for a position, fitted to columns; secondsLeft < 0 = unknown.
    static std::string Text(const std::string &phase, int percent, int secondsLeft, int columns);

private:
    void Draw();
    int Columns() const;

    FILE *out_;
    bool enabled_;
    std::string phase_;
    int columns_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    std::chrono::steady_clock::time_point start_{};
    std::string drawn_; // the line on the terminal; empty = nothing drawn
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
    // Verbose mode shows only the parts not shown yet.
    void SetStatusAfter(const std::string &done, const std::string &next, bool doneSaid) override;
    // Printed with the log line already: not printed again.
    void StatusRepeatsLog(const std::string &text) override;
    // A port the user gave by its path is named by it.
    std::string PortLabel(const std::string &name) const override;
    void AddLog(const std::string &line) override;
    void AddLogShowingMessages(const std::string &line) override;
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar_; }
    ProgressBar &DialogProgress() override { return noBar_; }
    void ShowMessage(const std::string &text) override;
    // Without a typed value or --keep-erased-calibration an erase stops.
    bool ConfirmErasedCalibration(const std::string &text) override;
    // The exact command line that puts the values back.
    std::string CalibrationRestoreHint(const std::string &device, const std::string &cal1,
                                       const std::string &cal2) const override;
    std::string OpenPortAdvice() const override;
    std::string KeptRestoreHint(const std::string &port, const std::string &device, const std::string &only,
                                const std::string &path) const override;
    void ProcessMessages() override {}
    // On stderr, and the command ends with the status of a file error.
    void CalibrationLogRefused(const std::string &text) override;
    bool CalibrationLogWasRefused() const { return calibrationLogRefused_; }

    // A line of the command's own result (catalogue, dumps, port states,
    // versions, IDs): printed even when quiet.
    void Print(const std::string &line);
    // A failure of the command line's own (a file, a device name, a port
    // that cannot be opened): "tarnvik-cli: " and the text on stderr.
    void Error(const std::string &text);
    // The interrupt notice: on stderr without the program's name.
    void Interrupted(const std::string &text);
    // --json: the result object itself, the one thing written to stdout.
    void Emit(const JsonObject &result);
    // --json: every line shown so far, in order, for the result object.
    const std::vector<std::string> &Messages() const { return messages_; }
    // The port being opened and the like: verbose mode only.
    void Detail(const std::string &line);
    // From now on the port `name` is named by `path` (PortLabel).
    void NamePortByPath(const std::string &name, const std::string &path)
    {
        portName_ = name;
        portPath_ = path;
    }
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
    FILE *logOut_; // stdout, or stderr so that stdout holds the data alone (--json, read -)
    TerminalProgress bar_;
    NullProgress noBar_;
    std::string status_;
    std::string portName_, portPath_;
    bool statusShown_ = false; // verbose mode shows each status as it comes
    std::vector<std::string> messages_;
    // Lines printed so far; the number of the last log line, and of the
    // line a status repeats (0 for none), so that the status is not printed
    // again while that line is still the last.
    size_t lines_ = 0, loggedLine_ = 0, statusLine_ = 0;
    bool calibrationLogRefused_ = false;
};
