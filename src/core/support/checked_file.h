// Opening files the programs name themselves or are given by the user: the
// settings file, HEX files, assembler headers, state files and logs. A name
// can lead to something that is no file: a FIFO (opening it waits for a
// writer that never comes, and the window would freeze), a device
// (/dev/zero never ends; opening a serial device can reset the board behind
// it) or a folder. These are refused before anything is read or written,
// with an errno value the callers turn into the user's text
// (FileErrorReason).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The refusal of a name that leads to no regular file (a FIFO, a device, a
// socket): the value the atomic writer gives for such a target too. A
// folder is EISDIR.
inline constexpr int NotRegularFileError = EINVAL;

// Whether path leads to a regular file, looked at without opening it:
// 0, EISDIR, NotRegularFileError, or the errno value of stat (ENOENT when
// nothing is there). The status is copied to st when given, whatever it
// says.
int CheckRegularFile(const std::string &path, struct stat *st = nullptr);

// Opens path with flags (O_RDONLY, O_WRONLY | O_APPEND | O_CREAT, ...) when
// it is a regular file or, with O_CREAT, when nothing is there yet. It is
// looked at first, opened without blocking (a FIFO put in its place
// meanwhile cannot hang the open) and looked at again through the
// descriptor. With O_NOFOLLOW a symbolic link in path's last part is
// refused (ELOOP) instead of followed. The descriptor is close-on-exec,
// never the controlling terminal, and blocking again. -1 with error set on
// a refusal.
int OpenRegularFile(const std::string &path, int flags, int &error, mode_t mode = 0644);

// Opens path to be written from its start, for a record the program keeps
// while it runs (a wire trace): a regular file or a new one (made with
// mode), never through a symbolic link, and never one of the files in
// inUse, the ones the same run reads or writes (the same device and inode,
// or the same path once resolved). A file that was there is emptied only
// after all that, so a refusal changes nothing. -1 with error set on a
// refusal; SameFileInUseError names the clashing file in clash.
int OpenRecordFile(const std::string &path, const std::vector<std::string> &inUse, mode_t mode, int &error,
                   std::string &clash);
inline constexpr int SameFileInUseError = EBUSY;

// Writes all of text to fd, again after an interruption or a short write:
// 0, or the errno value of the failed write (ENOSPC where nothing more is
// taken).
int WriteWhole(int fd, std::string_view text);

// Reads a whole regular file of at most maxBytes into text: 0, EFBIG when it
// is longer (also when it grows while being read), or the refusal of
// OpenRegularFile or the errno value of a failed read.
int ReadRegularFile(const std::string &path, size_t maxBytes, std::string &text);
