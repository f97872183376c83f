// Replacing a file's contents all at once. The new contents go to a
// temporary file in the same folder, are flushed to the disk, and only then
// renamed over the target: a reader (or the next run after a crash or a full
// disk) sees either the old file whole or the new one whole, never a part.
//
// Used for everything the programs save that a later run relies on: HEX
// files, the settings file, state files of production runs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes contents to path through a temporary file and a rename. A symbolic
// link is followed and stays a link; an existing file keeps its permissions
// (and its owner where the system allows). An existing file the user may not
// write, or a target that is no regular file (a folder, a FIFO, a device), is
// refused without touching anything. Returns 0, or the errno value of the
// failing step (EINVAL for a target that is no regular file); on failure the
// target is unchanged and no temporary file remains.
int WriteFileAtomically(const std::string &path, std::string_view contents);

// Whether WriteFileAtomically could replace path now: the same refusals,
// and a temporary file created in its folder and removed again. 0 or the
// errno value. A pipe or a device (standard output) counts as writable.
int CheckFileReplaceable(const std::string &path);

// Tests: makes the next atomic writes fail with ENOSPC once this many bytes of
// the temporary file are written, as a full disk would. Negative switches the
// fault off.
void SetAtomicWriteFaultAfter(long bytes);
