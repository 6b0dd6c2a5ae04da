#include "core/model/filestore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>

namespace ombrix {

namespace {

std::string systemError(int error) {
    return std::generic_category().message(error);
}

// Closes a descriptor once, on every path out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now: close() can report a write error (NFS, quotas) that the writes did not.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

std::string reasonForKind(mode_t mode) {
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a named pipe (FIFO), not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a file";
    return "it is not a regular file";
}

// The file a write to `path` replaces: the target of a symbolic link, else `path` itself.
std::string writeTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    return path;
}

// Creates a new, empty file beside `target` with a name no other writer uses.
int createTemporary(const std::string& target, std::string& name) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(random());
        // 0666 before the user's umask, as any new file gets.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

std::optional<std::string> writeAll(int fd, std::span<const unsigned char> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError(errno);
        if (n == 0)
            return systemError(EIO);
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

// A rename is durable once the folder holding it is flushed; a folder that cannot be flushed
// (some file systems refuse) leaves the file written all the same.
void syncFolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

std::optional<std::string>
writeFileAtomically(const std::string& path, std::span<const unsigned char> bytes, FileSync sync) {
    const std::string target = writeTarget(path);
    // A FIFO, socket or device in the file's place would be replaced by a regular file,
    // silently cutting off whatever reads from it: refused. (A folder fails at the rename.)
    if (struct stat existing{}; ::stat(target.c_str(), &existing) == 0 &&
                                !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode))
        return notRegularFileReason(target);
    std::string temporary;
    Descriptor fd(createTemporary(target, temporary));
    if (fd.get() < 0)
        return systemError(errno);
    std::optional<std::string> error = writeAll(fd.get(), bytes);
    if (!error) {
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            ::fchmod(fd.get(), old.st_mode & 07777);
        if (sync == FileSync::ToDisk && ::fsync(fd.get()) != 0)
            error = systemError(errno);
    }
    if (!error && fd.close() != 0)
        error = systemError(errno);
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = systemError(errno);
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    if (sync == FileSync::ToDisk)
        syncFolderOf(target);
    return std::nullopt;
}

std::optional<std::string> notRegularFileReason(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return systemError(errno);
    if (!S_ISREG(info.st_mode))
        return reasonForKind(info.st_mode);
    return std::nullopt;
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t most,
                                           std::vector<unsigned char>& out) {
    // Checked before opening: opening a device may act on it (a serial line raises its
    // control lines), and opening a FIFO blocks until a writer comes.
    if (std::optional<std::string> reason = notRegularFileReason(path))
        return reason;
    // Non-blocking and checked again, in case the name was replaced meanwhile.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return systemError(errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return systemError(errno);
    if (!S_ISREG(info.st_mode))
        return reasonForKind(info.st_mode);
    out.assign(most, 0);
    std::size_t done = 0;
    while (done < most) {
        const ssize_t n = ::read(fd.get(), out.data() + done, most - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError(errno);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return std::nullopt;
}

} // namespace ombrix
