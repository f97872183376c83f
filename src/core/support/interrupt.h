// A request from outside (a signal to the command line) to stop the
// running operation. It is only a flag: the operations look at it between
// two commands to the programmer, so an interrupted operation still leaves
// programming mode and closes the port as after any other failure, and
// reports the interruption instead of a lost link.
//
// Everything here may be called from a signal handler.
#pragma once

// Records the request; sig is the signal number behind it (0 for none).
void RequestInterrupt(int sig);
// Whether a request is pending, held back or not.
bool InterruptRequested();
// The signal of the pending request (0 when there is none, or it came
// without one).
int InterruptSignal();
// Whether operations must stop now: a request is pending and no InterruptHold
// is in force.
bool InterruptPending();
// Whether some part of an operation holds requests back right now.
bool InterruptHeld();
// Forgets a request (tests, and a front end starting afresh).
void ClearInterrupt();

// Holds requests back while it lives: an erase holds them from its first
// command until its calibration write-back is done, so a chip is never left
// erased with its calibration words lost. A request arriving meanwhile stays
// pending and takes effect at the next command after the hold.
class InterruptHold {
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold &) = delete;
    InterruptHold &operator=(const InterruptHold &) = delete;
};

// For a front end without command boundaries to stop at (the window): the
// signals that end a process by default (SIGHUP, SIGINT, SIGQUIT, SIGTERM)
// still end it at once, except while an InterruptHold is in force; then they
// end it as soon as the last hold is released, so an erase always gets its
// calibration written back first.
void EndOnSignalsAfterHolds();
// For a front end with an event loop that must save its state before it ends
// (the window): from now on such a signal ends nothing by itself. Its number
// goes as one byte into fd (the write end of a non-blocking pipe the front
// end watches), at once or, while an InterruptHold is in force, as soon as
// the last hold is released; a signal that came during a hold also stops the
// operation at its next command. The front end then ends with EndBySignal.
// A negative fd goes back to ending the process itself.
void SignalsToPipeAfterHolds(int fd);
// Ends the process the way sig does by default (its exit status says so).
[[noreturn]] void EndBySignal(int sig);
