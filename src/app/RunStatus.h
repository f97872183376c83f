// The exit statuses of a run, the command line's as its manual page lists
// them; a production run's chips end with them too, in both front ends.
#pragma once

enum : int {
    ExitSuccess = 0,
    ExitNegative = 1, // mismatch, not blank, link failure
    ExitRefused = 2,  // the connection and device check refused
    ExitFileError = 3,
    ExitUsage = 64,    // the command line asks for something that cannot be done
    ExitInternal = 70, // a failure inside the program itself (sysexits' EX_SOFTWARE)
};
