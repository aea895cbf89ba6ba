// The real file system: POSIX calls on descriptors, with the Linux and macOS
// forms where they differ.
#include "platform/FileSystem.h"
#include "platform/FolderItem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qmk {

namespace {

FileInfo::Kind kindOf(mode_t m) {
    if (S_ISREG(m))
        return FileInfo::Kind::Regular;
    if (S_ISDIR(m))
        return FileInfo::Kind::Folder;
    if (S_ISFIFO(m))
        return FileInfo::Kind::Fifo;
    if (S_ISCHR(m) || S_ISBLK(m))
        return FileInfo::Kind::Device;
    if (S_ISSOCK(m))
        return FileInfo::Kind::Socket;
    return FileInfo::Kind::Other;
}

bool noAttributes(int e) {
    return e == ENOTSUP || e == EOPNOTSUPP || e == ENODATA
#ifdef ENOATTR
           || e == ENOATTR
#endif
        ;
}

class PosixFile : public File {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

    int readAt(int64_t at, void* dst, size_t n, size_t& got) override {
        got = 0;
        auto* out = static_cast<char*>(dst);
        while (got < n) {
            const ssize_t r = ::pread(fd_, out + got, n - got, at + static_cast<int64_t>(got));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (r == 0)
                break;
            got += static_cast<size_t>(r);
        }
        return 0;
    }

    int writeAt(int64_t at, const void* src, size_t n) override {
        const auto* in = static_cast<const char*>(src);
        size_t done = 0;
        while (done < n) {
            const ssize_t r = ::pwrite(fd_, in + done, n - done, at + static_cast<int64_t>(done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += static_cast<size_t>(r);
        }
        return 0;
    }

    int sync() override {
#ifdef __APPLE__
        // fsync leaves the data in the drive's cache there; this asks for the platter.
        if (::fcntl(fd_, F_FULLFSYNC) == 0)
            return 0;
#endif
        return ::fsync(fd_) == 0 ? 0 : errno;
    }

    int stat(FileInfo& out) override {
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            return errno;
        out.kind = kindOf(st.st_mode);
        out.size = st.st_size;
        out.permissions = st.st_mode & 07777;
        return 0;
    }

    int setPermissions(unsigned mode) override {
        return ::fchmod(fd_, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
    }

    int readFinderInfo(FinderInfo& out, bool& present) override {
        out.fill(0);
        present = false;
#ifdef __APPLE__
        const ssize_t n =
            ::fgetxattr(fd_, FolderItem::FinderInfoAttribute(), out.data(), out.size(), 0, 0);
#else
        const ssize_t n =
            ::fgetxattr(fd_, FolderItem::FinderInfoAttribute(), out.data(), out.size());
#endif
        if (n > 0) {
            present = true;
            return 0;
        }
        if (n == 0 || noAttributes(errno))
            return 0;
        const int e = errno;
        out.fill(0);
        return e;
    }

    int writeFinderInfo(const FinderInfo& info) override {
#ifdef __APPLE__
        const int r =
            ::fsetxattr(fd_, FolderItem::FinderInfoAttribute(), info.data(), info.size(), 0, 0);
#else
        const int r =
            ::fsetxattr(fd_, FolderItem::FinderInfoAttribute(), info.data(), info.size(), 0);
#endif
        return r == 0 ? 0 : errno;
    }

    int close() override {
        if (fd_ < 0)
            return 0;
        const int r = ::close(fd_);
        fd_ = -1;
        // The descriptor is gone even when close reports EINTR.
        return r == 0 || errno == EINTR ? 0 : errno;
    }

  private:
    int fd_;
};

#if defined(O_TMPFILE)
// Where /proc is not mounted, an unnamed file could be named only with a
// privilege the program does not count on: such a folder gets the fallback.
bool canNameUnnamedFiles() {
    static const bool ok = ::access("/proc/self/fd", X_OK) == 0;
    return ok;
}
#endif

class PosixFolder : public Folder {
  public:
    explicit PosixFolder(int fd) : fd_(fd) {}
    ~PosixFolder() override { ::close(fd_); }

    bool exists(const std::string& name) override {
        struct stat st;
        return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    int createUnnamed(unsigned mode, std::unique_ptr<File>& out) override {
#if defined(O_TMPFILE)
        if (!canNameUnnamedFiles())
            return EOPNOTSUPP;
        const int fd = ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0)
            return errno;
        out = std::make_unique<PosixFile>(fd);
        return 0;
#else
        (void)mode;
        (void)out;
        return EOPNOTSUPP;
#endif
    }

    int linkUnnamed(File& file, const std::string& name) override {
#if defined(O_TMPFILE)
        auto* f = dynamic_cast<PosixFile*>(&file);
        if (!f)
            return EINVAL;
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", f->fd());
        if (::linkat(AT_FDCWD, proc, fd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        const int e = errno;
        if (e != ENOENT)
            return e;
        // Without /proc after all: the descriptor itself, for a privileged process.
        return ::linkat(f->fd(), "", fd_, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
#else
        (void)file;
        (void)name;
        return EOPNOTSUPP;
#endif
    }

    int createNew(const std::string& name, unsigned mode, std::unique_ptr<File>& out) override {
        const int fd =
            ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0)
            return errno;
        out = std::make_unique<PosixFile>(fd);
        return 0;
    }

    int renameNoReplace(const std::string& from, const std::string& to) override {
#if defined(__APPLE__)
        return ::renameatx_np(fd_, from.c_str(), fd_, to.c_str(), RENAME_EXCL) == 0 ? 0 : errno;
#elif defined(__linux__)
        return ::renameat2(fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
#else
        (void)from;
        (void)to;
        return ENOSYS;
#endif
    }

    int link(const std::string& from, const std::string& to) override {
        return ::linkat(fd_, from.c_str(), fd_, to.c_str(), 0) == 0 ? 0 : errno;
    }

    int unlink(const std::string& name) override {
        return ::unlinkat(fd_, name.c_str(), 0) == 0 ? 0 : errno;
    }

    int sync() override {
        if (::fsync(fd_) == 0)
            return 0;
        if (errno != EBADF)
            return errno;
        // A descriptor that only locates the folder cannot be synced: a readable
        // one can, where the folder may be read. In a folder one may only write
        // in, the names go to the disk in the file system's own time.
        const int readable = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (readable < 0)
            return errno;
        const int e = ::fsync(readable) == 0 ? 0 : errno;
        ::close(readable);
        return e;
    }

    int nativeHandle() const override {
        return fd_;
    }

  private:
    int fd_;
};

class PosixFileSystem : public FileSystem {
  public:
    int openRead(const std::filesystem::path& p, std::unique_ptr<File>& out) override {
        // Without blocking, so a FIFO or a device opens (and is refused) at once.
        const int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return errno;
        auto file = std::make_unique<PosixFile>(fd);
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return errno;
        if (S_ISREG(st.st_mode)) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
                return errno;
        }
        out = std::move(file);
        return 0;
    }

    int openFolder(const std::filesystem::path& p, std::unique_ptr<Folder>& out) override {
        // The folder is only a place to resolve names in: it need not be
        // readable, as a drop box one may write in but not list is not.
#ifdef O_PATH
        const int fd = ::open(p.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
        const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
        if (fd < 0)
            return errno;
        out = std::make_unique<PosixFolder>(fd);
        return 0;
    }
};

} // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

} // namespace qmk
