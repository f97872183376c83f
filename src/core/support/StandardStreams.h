// Standard input, output and error as a program must find them before it
// opens anything: a descriptor 0, 1 or 2 left closed by the caller would
// otherwise be taken by the next file or serial port opened, and text meant
// for the terminal would go into that file or down the wire to the
// programmer.
#pragma once

// Opens /dev/null on each of descriptors 0 to 2 that is closed. Call first
// thing in main, before any other file is opened.
void OpenClosedStandardStreams();

// Whether descriptor fd (0 to 2) was closed when the program started, so it
// now leads to /dev/null: data asked for on it ("-" as a file) cannot be
// given or taken there.
bool StandardStreamWasClosed(int fd);
