// A record of every byte a port exchanges with the programmer, for a user to
// send when a board misbehaves. The file holds one header line, then a line
// per byte,
//   SECONDS DIR XX
// seconds since the trace began (six decimals), '>' host to board, '<' board
// to host, the byte in hexadecimal, as tarnbox-sim --trace writes it; and
//   SECONDS open NAME      SECONDS close
// each time a port is opened and closed, so that a probe of several ports
// can be told apart from the board's own. Nothing but the header says which
// files the run was given.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class WireTrace {
public:
    // Starts a trace in path with header as its first line ("# " is put
    // before it; an empty header writes none). path must be a regular file
    // or new (made 0600: it holds the firmware that crosses the wire), is
    // not followed as a symbolic link and must be none of the files in
    // inUse, the ones the run reads or writes; a file that was there is
    // emptied only once all that holds. Null with the path and the reason
    // in error, the file as it was.
    static std::shared_ptr<WireTrace> Create(const std::string &path, const std::string &header,
                                             const std::vector<std::string> &inUse, std::string &error);
    ~WireTrace();
    WireTrace(const WireTrace &) = delete;
    WireTrace &operator=(const WireTrace &) = delete;

    void Sent(const uint8_t *data, size_t n);
    void Received(const uint8_t *data, size_t n);
    void Opened(const std::string &name);
    // The RTS and DTR lines as set after the open, and the wait that
    // followed ("lines rts=1 dtr=0 wait=200"): a board that needs its reset
    // line one way shows in the trace which way it got.
    void LinesSet(bool rts, bool dtr, int waitMs);
    void Closed();
    // Writes out what is held back; a silent read is where a session that
    // goes wrong stops, so the port calls this then.
    void Flush();
    // Writes out what is held back: 0 while every line reached the file,
    // else the errno value of the first write that failed (ENOSPC, EFBIG),
    // after which nothing more is written and the trace ends where it was
    // cut.
    int Finish();
    const std::string &Path() const { return path_; }

private:
    WireTrace(int fd, std::string path, std::chrono::steady_clock::time_point origin);
    void Bytes(char direction, const uint8_t *data, size_t n);
    double Seconds() const;
    // Under the lock: the line held back, written out when enough is.
    void Add(const char *line, int length);
    void WriteOut();

    std::mutex mutex_; // the ports of a gang may share one trace
    int fd_;
    std::string path_;
    std::string pending_;
    int error_ = 0;
    std::chrono::steady_clock::time_point origin_;
};

// The text that says a trace could not be written whole, with the reason.
std::string TraceIncompleteText(const std::string &path, int error);

// The header's text: "PROGRAM (VERSION); device D; port P; command: C".
std::string TraceHeader(const std::string &program, const std::string &device, const std::string &port,
                        const std::string &command);

// The command line as a header shows it: every argument in order, but the
// trace's own option and file, and any path that is not a device node cut
// to its last part, so the header names files without their folders.
std::string TraceCommandText(const std::vector<std::string> &args);
