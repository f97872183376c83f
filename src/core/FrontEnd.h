// The one seam through which the core reaches the user. The core never owns
// output: the window and the command line each supply a FrontEnd, and tests
// supply a recording one. It only reports: what an operation works on and
// with which options is handed to the operation itself. What the core tells
// is typed (a protocol error, erased calibration words); how it is shown, a
// box or a line, is the front end's.
#pragma once

#include <string>

#include "texts/frontend_texts.h"

// What a progress bar is showing: the phase of the operation driving it.
enum class Phase { Erase, BlankCheck, Program, Verify, Read };

// A progress bar an operation is handed: the main window's or the progress
// dialog's. Minimum is always 0 and the step is always 1.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void StepIt() = 0;
    virtual void SetPosition(int position) = 0;
    // The operation about to drive the bar; a bar that names no phase keeps
    // the default.
    virtual void SetPhase(Phase) {}
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Status line: one short text, each write replaces the last.
    virtual void SetStatus(const std::string &text) = 0;
    // A status that follows a step done ("書込みました。" then "ベリファイ中…"):
    // the window's status bar shows the two joined by a full-width blank; a
    // front end that shows each text once may show only what is new.
    // doneSaid: the step done is one this front end was told of already
    // (the load of the chain's file).
    virtual void SetStatusAfter(const std::string &done, const std::string &next, bool doneSaid)
    {
        (void)doneSaid;
        SetStatus(texts::DoneThenNext(done, next));
    }
    // The line just given to the log is the status from here on: the window
    // shows it in both places, a front end with one stream of lines has
    // shown it already.
    virtual void StatusRepeatsLog(const std::string &text) { SetStatus(text); }
    // Message log: append a routine line.
    virtual void AddLog(const std::string &line) = 0;
    // Message log: switch to the "Message" tab first, then append (problems
    // found by a command).
    virtual void AddLogShowingMessages(const std::string &line) = 0;
    // The progress dialog's status text (Small Box commands report there too).
    virtual void SetDialogStatus(const std::string &text) = 0;

    // The main window's progress bar and the progress dialog's.
    virtual ProgressBar &MainProgress() = 0;
    virtual ProgressBar &DialogProgress() = 0;

    // Lets the front end process pending events (repaint the bar and texts)
    // while a command runs.
    virtual void ProcessMessages() = 0;
    // The buffer's contents were replaced by a device operation (read, or an
    // erase that stored new calibration words): redraw the views of the live
    // half with the current option states. A front end without views keeps
    // the default.
    virtual void BufferChanged() {}
    // The firmware echoed a row-write code but failed the test block after
    // it: a program stops before it writes anything. Told as soon as the
    // probe has failed, before the write's failure is reported; the window
    // shows its box, the command line a line.
    virtual void ProtocolError() { ShowMessage(texts::ProtocolError()); }
    // An erase found the chip's calibration words erased (the text says which
    // and what the calibration log last recorded for this kind of chip):
    // true to erase anyway, keeping the erased values. The text is in the
    // message log already.
    virtual bool ConfirmErasedCalibration(const std::string & /*text*/) { return true; }
    // An erase was refused before it began because the calibration log could
    // not be written; text names the log and why. The status line says so
    // already.
    virtual void CalibrationLogRefused(const std::string &text) { AddLogShowingMessages(text); }
    // How the user puts calibration words back that an erase could not
    // restore on the device named: cal2 is empty for a part with one
    // calibration word.
    virtual std::string CalibrationRestoreHint(const std::string & /*device*/, const std::string &cal1,
                                               const std::string &cal2) const
    {
        return texts::CalibrationRestoreHint(cal1, cal2);
    }
    // The port as the texts name it: the window's COM name; the command line
    // names a port the user gave by its path.
    virtual std::string PortLabel(const std::string &name) const { return name; }
    // What the user does when no port is open: the window's Option tab opens
    // one.
    virtual std::string OpenPortAdvice() const { return texts::OpenPortAdvice(); }
    // One difference a verify found: the address and the file's and the
    // chip's values, as hexadecimal digits. The command line's form, which
    // scripts read: "0x0000: file 1683, chip 3FFF".
    virtual std::string DifferenceLine(const std::string &address, const std::string &file,
                                       const std::string &chip) const
    {
        return "0x" + address + ": file " + file + ", chip " + chip;
    }
    // How the user puts back what a program kept of a chip (the data
    // EEPROM, the configuration) from its copy on the disk: only names the
    // memories as --only does ("eeprom", "config", "eeprom,config").
    virtual std::string KeptRestoreHint(const std::string &port, const std::string &device,
                                        const std::string &only, const std::string &path) const
    {
        return texts::KeptRestoreHint(Quoted(port), device, only, Quoted(path));
    }

protected:
    // Modal information box with an OK button: how a front end presents
    // what the core tells it. The core itself never opens one.
    virtual void ShowMessage(const std::string &text) = 0;
    // A word the shell takes as it is, else in single quotes.
    static std::string Quoted(const std::string &text)
    {
        const bool plain =
            !text.empty() && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                    "0123456789_./:=+-,@%") == std::string::npos;
        if (plain) return text;
        std::string quoted = "'";
        for (char c : text)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }
};
