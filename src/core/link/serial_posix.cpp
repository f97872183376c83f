// The serial port on a Linux tty: termios for the line, poll() against one
// monotonic deadline for the read time-out, TIOCM* for the modem lines.
#include "link/serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "link/PollWait.h"
#include "link/UsbAdapter.h"
#include "support/textutil.h"

namespace {

using Clock = PollClock;

class PosixSerialBackend : public SerialBackend {
public:
    ~PosixSerialBackend() override
    {
        if (fd_ >= 0) Close();
    }

    bool Open(const std::string &path, std::string &error) override
    {
        if (fd_ >= 0) Close();
        openErrno_ = 0;
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            openErrno_ = errno;
            error = path + ": " + ErrorText(openErrno_);
            return false;
        }
        if (!isatty(fd)) {
            openErrno_ = ENOTTY;
            error = path + ": " + ErrorText(ENOTTY);
            ::close(fd);
            return false;
        }
        // TIOCEXCL keeps other users out, but root passes it; the advisory
        // lock stops a second copy of this program even then.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            openErrno_ = errno == EWOULDBLOCK ? EBUSY : errno;
            error = path + ": " + ErrorText(openErrno_);
            ::close(fd);
            return false;
        }
        ioctl(fd, TIOCEXCL);
        // USB adapters hold short packets back (16 ms on an FTDI); every
        // echo exchange would pay that. Ports without the flag refuse it;
        // the flag is read back, since a driver may take the call and drop it.
        serial_struct ss{};
        lowLatency_ = false;
        if (ioctl(fd, TIOCGSERIAL, &ss) == 0) {
            ss.flags |= ASYNC_LOW_LATENCY;
            lowLatency_ = ioctl(fd, TIOCSSERIAL, &ss) == 0 && ioctl(fd, TIOCGSERIAL, &ss) == 0 &&
                          (ss.flags & ASYNC_LOW_LATENCY) != 0;
        }
        // The flag does not reach an FTDI adapter's own timer: that is set
        // through sysfs, or the user is told how.
        notice_ = LatencyNoticeOnOpen(path);
        // What the timer is left at, lowered or not: a short time-out must
        // leave room for it.
        const std::optional<UsbAdapter> adapter = FindUsbAdapter(path);
        heldBackMs_ = adapter ? std::max(ReadLatencyMs(*adapter), 0) : 0;
        fd_ = fd;
        return true;
    }

    bool Close() override
    {
        if (fd_ < 0) return false;
        ioctl(fd_, TIOCNXCL);
        int rc = ::close(fd_);
        // The descriptor is gone even when close reports an error.
        fd_ = -1;
        return rc == 0 || errno == EINTR;
    }

    bool IsValid() const override { return fd_ >= 0; }
    int LastOpenErrno() const override { return openErrno_; }
    std::string TakeNotice() override { return std::exchange(notice_, {}); }
    int HeldBackMs() const override { return fd_ >= 0 ? heldBackMs_ : 0; }
    // Whether the kernel kept the low-latency flag at the last open.
    bool LowLatency() const { return lowLatency_; }

    void ApplyLineSettings() override
    {
        if (fd_ < 0) return;
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) return;
        cfmakeraw(&tio);
        tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
        tio.c_iflag |= IGNBRK;
        tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        // With VMIN 1 a non-blocking read of an empty queue says EAGAIN, so
        // a read of 0 can only mean the other side hung up.
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B38400);
        cfsetospeed(&tio, B38400);
        tcsetattr(fd_, TCSANOW, &tio);
        // Opening a tty raises both lines; the programmer wants them inactive
        // until the CTRL option says otherwise.
        int lines = TIOCM_RTS | TIOCM_DTR;
        ioctl(fd_, TIOCMBIC, &lines);
    }

    void SetTimeouts(int readMs, int writeMs) override
    {
        readMs_ = std::max(readMs, 0);
        writeMs_ = std::max(writeMs, 0);
    }

    void SetModemLine(ModemLine line, bool on) override
    {
        if (fd_ < 0) return;
        int bits = line == ModemLine::RTS ? TIOCM_RTS : TIOCM_DTR;
        // A pseudo-terminal has no modem lines; the result does not matter.
        ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
    }

    void PurgeOutput() override
    {
        if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
    }

    void PurgeInput() override
    {
        if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
    }

    void ClearErrors() override {}

    size_t Write(const uint8_t *data, size_t n) override
    {
        if (fd_ < 0) return 0;
        Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(writeMs_);
        size_t done = 0;
        while (done < n) {
            ssize_t rc = ::write(fd_, data + done, n - done);
            if (rc > 0) {
                done += static_cast<size_t>(rc);
                continue;
            }
            if (rc < 0 && errno == EINTR) continue;
            if (rc < 0 && errno != EAGAIN) break;
            if (!WaitFor(POLLOUT, deadline)) break;
        }
        return done;
    }

    size_t Read(uint8_t *data, size_t n) override
    {
        if (fd_ < 0) return 0;
        Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readMs_);
        size_t done = 0;
        while (done < n) {
            ssize_t rc = ::read(fd_, data + done, n - done);
            if (rc > 0) {
                done += static_cast<size_t>(rc);
                continue;
            }
            if (rc < 0 && errno == EINTR) continue;
            // End of file or EIO: the device hung up or vanished.
            if (rc == 0 || errno != EAGAIN) break;
            if (!WaitFor(POLLIN, deadline)) break;
        }
        return done;
    }

    void Pause(int ms) override
    {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    void SetBetweenWaits(std::function<void()> between) override { between_ = std::move(between); }

private:
    bool WaitFor(short events, Clock::time_point deadline)
    {
        return WaitReady(fd_, events, deadline, between_, SerialPort::WaitSliceMs);
    }

    int fd_ = -1;
    int openErrno_ = 0;
    bool lowLatency_ = false; // the kernel kept ASYNC_LOW_LATENCY
    std::string notice_;
    std::function<void()> between_;
    int heldBackMs_ = 0;
    int readMs_ = SerialPort::DefaultTimeoutMs;
    int writeMs_ = SerialPort::DefaultTimeoutMs;
};

} // namespace

std::unique_ptr<SerialBackend> MakeTtySerialBackend()
{
    return std::make_unique<PosixSerialBackend>();
}
