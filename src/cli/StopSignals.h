// The signals that end a command-line run: SIGINT, SIGTERM, SIGHUP and
// SIGQUIT ask the running operation to stop at its next command to the
// programmer, so the board is left out of programming mode; an erase holds
// them until its calibration write-back is done. SIGPIPE is ignored: a
// reader that goes away (`| head -1`) shows as a write error on the output,
// which stops the run the same way.
#pragma once

#include <cstdio>

// Installs the handlers, before anything is sent to a programmer. With
// afterRound (--repeat) the first signal only ends the run after the chips
// in hand are done; the next one stops the operations, as the first does
// otherwise. One more, outside an erase, ends the program at once.
void CatchStopSignals(bool afterRound);

// --repeat: a signal asked for the run to end after this round.
bool StopAfterRound();

// Flushes out; a reader that has gone away is taken as SIGPIPE.
void FlushOutput(FILE *out);
