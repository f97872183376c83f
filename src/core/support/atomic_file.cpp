#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "support/checked_file.h"

namespace {

long faultAfter = -1;

// The file a path names once symbolic links are followed (a dangling link
// names the file it would create). Relative link targets are taken from the
// link's folder.
std::string Resolve(const std::string &path)
{
    std::filesystem::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(p, ec)) return p.string();
        const std::filesystem::path target = std::filesystem::read_symlink(p, ec);
        if (ec) return p.string();
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

int WriteAll(int fd, std::string_view contents)
{
    size_t done = 0;
    while (done < contents.size()) {
        size_t chunk = contents.size() - done;
        if (faultAfter >= 0) {
            if (done >= static_cast<size_t>(faultAfter)) return ENOSPC;
            chunk = std::min(chunk, static_cast<size_t>(faultAfter) - done);
        }
        const ssize_t rc = ::write(fd, contents.data() + done, chunk);
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return rc < 0 ? errno : EIO;
        done += static_cast<size_t>(rc);
    }
    return 0;
}

// 0 when the target may be replaced by a new regular file, or created:
// exists tells which, existing holds what is there. A file the user made
// read-only stays as it is, as it would for a write in place.
int ReplaceableFile(const std::string &target, struct stat &existing, bool &exists)
{
    const int kind = CheckRegularFile(target, &existing);
    exists = kind != ENOENT;
    if (!exists) return 0;
    if (kind != 0) return kind;
    if (::access(target.c_str(), W_OK) != 0) return errno;
    return 0;
}

std::filesystem::path FolderOf(const std::string &target)
{
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    return folder.empty() ? "." : folder;
}

// mkstemp's pattern for a hidden temporary file beside the target, so the
// rename stays within one file system.
std::string TempPattern(const std::string &target)
{
    return (FolderOf(target) / ("." + std::filesystem::path(target).filename().string() + ".XXXXXX"))
        .string();
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void SetAtomicWriteFaultAfter(long bytes)
{
    faultAfter = bytes;
}

int WriteFileAtomically(const std::string &path, std::string_view contents)
{
    const std::string target = Resolve(path);
    struct stat existing {};
    bool exists = false;
    if (const int error = ReplaceableFile(target, existing, exists)) return error;

    const std::filesystem::path folder = FolderOf(target);
    std::string temp = TempPattern(target);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno;

    int error = 0;
    if (::fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode()) != 0) error = errno;
    if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Only root may give the file back to its owner; anyone else keeps
        // the file as their own, as a copy would be.
        [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (!error) error = WriteAll(fd, contents);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself lasts only once the folder is on the disk too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

int CheckFileReplaceable(const std::string &path)
{
    const std::string target = Resolve(path);
    struct stat existing {};
    bool exists = false;
    const int error = ReplaceableFile(target, existing, exists);
    if (exists && (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode) || S_ISSOCK(existing.st_mode)))
        return 0;
    if (error) return error;
    std::string temp = TempPattern(target);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return 0;
}
