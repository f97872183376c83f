#include "support/checked_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace {

int KindError(const struct stat &st)
{
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : NotRegularFileError;
}

} // namespace

int CheckRegularFile(const std::string &path, struct stat *st)
{
    struct stat seen {};
    const int error = ::stat(path.c_str(), &seen) == 0 ? KindError(seen) : errno;
    if (st) *st = seen;
    return error;
}

int OpenRegularFile(const std::string &path, int flags, int &error, mode_t mode)
{
    if (flags & O_NOFOLLOW) {
        struct stat link {};
        error = ::lstat(path.c_str(), &link) != 0 ? errno : S_ISLNK(link.st_mode) ? ELOOP : KindError(link);
    } else {
        error = CheckRegularFile(path);
    }
    if (error != 0 && !(error == ENOENT && (flags & O_CREAT))) return -1;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) {
        // A FIFO that appeared meanwhile, opened for writing with nobody
        // reading it.
        error = errno == ENXIO ? NotRegularFileError : errno;
        return -1;
    }
    struct stat opened {};
    error = ::fstat(fd, &opened) == 0 ? KindError(opened) : errno;
    if (error == 0) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) error = errno;
    }
    if (error != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string Resolved(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? std::string() : resolved.lexically_normal().string();
}

} // namespace

int OpenRecordFile(const std::string &path, const std::vector<std::string> &inUse, mode_t mode, int &error,
                   std::string &clash)
{
    clash.clear();
    // Made new when nothing is there, so that a refusal can take it away again.
    bool made = true;
    int fd = OpenRegularFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, error, mode);
    if (fd < 0 && error == EEXIST) {
        made = false;
        fd = OpenRegularFile(path, O_WRONLY | O_NOFOLLOW, error);
    }
    if (fd < 0) return -1;
    struct stat opened {};
    error = ::fstat(fd, &opened) == 0 ? 0 : errno;
    const std::string resolved = Resolved(path);
    for (const std::string &other : inUse) {
        if (error != 0) break;
        if (other.empty()) continue;
        struct stat st {};
        if ((::stat(other.c_str(), &st) == 0 && SameFile(st, opened)) ||
            (!resolved.empty() && Resolved(other) == resolved)) {
            error = SameFileInUseError;
            clash = other;
        }
    }
    if (error == 0 && !made && ::ftruncate(fd, 0) != 0) error = errno;
    if (error != 0) {
        ::close(fd);
        if (made) ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

int WriteWhole(int fd, std::string_view text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int ReadRegularFile(const std::string &path, size_t maxBytes, std::string &text)
{
    text.clear();
    int error = 0;
    const int fd = OpenRegularFile(path, O_RDONLY, error);
    if (fd < 0) return error;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_size) > maxBytes) error = EFBIG;
    char chunk[65536];
    while (error == 0) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
        } else if (got == 0) {
            break;
        } else if (text.size() + static_cast<size_t>(got) > maxBytes) {
            error = EFBIG;
        } else {
            text.append(chunk, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    if (error != 0) text.clear();
    return error;
}
