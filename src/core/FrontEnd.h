// The one seam through which the core reaches the user. The core never owns
// output: the window and the command line each supply a FrontEnd, and tests
// supply a recording one.
#pragma once

#include <string>

// A progress bar an operation is handed: the main window's or the progress
// dialog's. Minimum is always 0 and the step is always 1.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void StepIt() = 0;
    virtual void SetPosition(int position) = 0;
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Status line: one short text, each write replaces the last.
    virtual void SetStatus(const std::string &text) = 0;
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

    // Modal information box with an OK button.
    virtual void ShowMessage(const std::string &text) = 0;
    // Lets the front end process pending events (repaint the bar and texts)
    // while a command runs.
    virtual void ProcessMessages() = 0;
    // The buffer's contents were replaced by a device operation (read, or an
    // erase that stored new calibration words): redraw the views of the live
    // half with the current option states. A front end without views keeps
    // the default.
    virtual void BufferChanged() {}
    // An erase found the chip's calibration words erased (the text says which
    // and what the calibration log last recorded for this kind of chip):
    // true to erase anyway, keeping the erased values. The text is in the
    // message log already.
    virtual bool ConfirmErasedCalibration(const std::string & /*text*/) { return true; }
    // Whether an erase may go on when the calibration log cannot take the
    // values it read: only when the user said so beforehand.
    virtual bool CalibrationLogOptional() const { return false; }
    // An erase was refused before it began because the calibration log could
    // not be written; text names the log and why. The status line says so
    // already.
    virtual void CalibrationLogRefused(const std::string &text) { AddLogShowingMessages(text); }
    // How the user puts calibration words back that an erase could not
    // restore: cal2 is empty for a part with one calibration word.
    virtual std::string CalibrationRestoreHint(const std::string &cal1, const std::string &cal2) const
    {
        return "「CALIBデータを変更する」をチェックし、CAL1に " + cal1 +
               (cal2.empty() ? "" : "、CAL2に " + cal2) + " を入力して消去してください。";
    }

    // Option states the operations read.
    virtual bool SmallBlock() const = 0;      // "[READ] Small Block"
    virtual bool VerifyUserId() const = 0;    // "[VERIFY] User-ID"
    virtual bool CalibChange() const = 0;     // "CALIBデータを変更する"
    virtual void SetCalibChange(bool on) = 0; // erase unticks it after use
    virtual std::string Cal1Text() const = 0; // CAL1 field, 4 hex digits
    virtual std::string Cal2Text() const = 0; // CAL2 field, 4 hex digits
    virtual bool Pic18Family() const = 0;     // which table the device list shows
    virtual int SelectedIndex() const = 0;    // device list index, -1 = none
};
