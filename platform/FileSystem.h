// The file system as the document road uses it: opening a source, and writing a
// new document into a folder and giving it its name. The real implementation is
// POSIX; an in-memory one serves the fuzz target, and tests wrap either to make
// any operation fail.
//
// Every operation returns 0, or the errno of its failure: the callers turn
// failures into French causes naming the file the user knows.
#pragma once

#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace qmk {

// What an open file is, as far as the document road cares.
struct FileInfo {
    enum class Kind { Regular, Folder, Fifo, Device, Socket, Other };
    Kind kind = Kind::Regular;
    int64_t size = 0;
    unsigned permissions = 0; // the mode's permission bits
};

// A file's FinderInfo: the type code, the creator code, then flags.
using FinderInfo = std::array<char, 32>;

// The four-character code at `offset` (0: the type, 4: the creator); empty when
// it is all zero, as for a file that has none.
inline std::string FinderCode(const FinderInfo& info, size_t offset) {
    const std::string c(info.data() + offset, 4);
    return c == std::string(4, '\0') ? std::string() : c;
}

// Puts the type and the creator code in, each filled to four with blanks; the
// other 24 bytes stay as they are.
inline void SetFinderCodes(FinderInfo& info, const std::string& type, const std::string& creator) {
    for (size_t i = 0; i < 4; ++i) {
        info[i] = i < type.size() ? type[i] : ' ';
        info[4 + i] = i < creator.size() ? creator[i] : ' ';
    }
}

// Whether a refused write of the codes means that the file system keeps none.
inline bool KeepsNoFinderInfo(int e) {
    return e == ENOTSUP || e == EOPNOTSUPP || e == EPERM;
}

class File {
  public:
    virtual ~File() = default;
    // Up to n bytes at `at`; `got` is below n only at the end of the file.
    virtual int readAt(int64_t at, void* dst, size_t n, size_t& got) = 0;
    // All n bytes at `at`.
    virtual int writeAt(int64_t at, const void* src, size_t n) = 0;
    // Puts the file's data on the disk.
    virtual int sync() = 0;
    virtual int stat(FileInfo& out) = 0;
    // Sets the permission bits as given: no umask takes from them.
    virtual int setPermissions(unsigned mode) = 0;
    // `present` is false when the file has none (or its file system keeps none).
    virtual int readFinderInfo(FinderInfo& out, bool& present) = 0;
    // ENOTSUP / EOPNOTSUPP where the file system keeps no extended attributes.
    virtual int writeFinderInfo(const FinderInfo& info) = 0;
    // Closing a closed file does nothing.
    virtual int close() = 0;
};

// An open folder. Names are resolved in it, not along its path, so a folder
// moved meanwhile is still the one written into.
class Folder {
  public:
    virtual ~Folder() = default;
    // Whether the name is taken; a dangling symbolic link takes it too.
    virtual bool exists(const std::string& name) = 0;
    // A new file without a name, open for writing, with the permission bits
    // (less the umask). EOPNOTSUPP, EISDIR or EINVAL where the file system has
    // no unnamed files.
    virtual int createUnnamed(unsigned mode, std::unique_ptr<File>& out) = 0;
    // Gives an unnamed file its name, never replacing one (EEXIST).
    virtual int linkUnnamed(File& file, const std::string& name) = 0;
    // A new file under a name that must be free (EEXIST), open for writing.
    virtual int createNew(const std::string& name, unsigned mode, std::unique_ptr<File>& out) = 0;
    // Renames without replacing (EEXIST); EINVAL, ENOSYS or ENOTSUP where the
    // file system cannot.
    virtual int renameNoReplace(const std::string& from, const std::string& to) = 0;
    // A second name for a file; never replaces (EEXIST).
    virtual int link(const std::string& from, const std::string& to) = 0;
    virtual int unlink(const std::string& name) = 0;
    // Puts the folder's names on the disk. A folder that may be written in but
    // not read can refuse (EACCES): its names then reach the disk in their time.
    virtual int sync() = 0;
    // The descriptor through which a forced exit can remove a name in this
    // folder, or -1 where there is none (a file system in memory).
    virtual int nativeHandle() const { return -1; }
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Read-only and without waiting: a FIFO with no writer opens at once.
    virtual int openRead(const std::filesystem::path& p, std::unique_ptr<File>& out) = 0;
    virtual int openFolder(const std::filesystem::path& p, std::unique_ptr<Folder>& out) = 0;
};

// The machine's own file system.
FileSystem& RealFileSystem();

} // namespace qmk
