// A file system held in memory: files by absolute path, folders implied by the
// paths, unnamed files until they are linked. For the fuzz target and tests
// that need no disk.
//
// It has no umask: a new file gets the permission bits it is created with.
#pragma once

#include "platform/FileSystem.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace qmk {

class MemoryFileSystem : public FileSystem {
  public:
    // A file's bytes in fixed chunks, so a document that grows a record at a
    // time is never copied as it grows.
    struct Node {
        static constexpr size_t kChunk = 64 * 1024;
        std::vector<std::unique_ptr<char[]>> chunks;
        size_t size = 0;
        void write(size_t at, const char* src, size_t n);
        size_t read(size_t at, char* dst, size_t n) const; // what there is, up to n
        std::string contents() const;

        FinderInfo finderInfo{};
        bool hasFinderInfo = false;
        unsigned permissions = 0644;
        FileInfo::Kind kind = FileInfo::Kind::Regular;
    };

    // Puts a file (replacing one) at the path.
    void put(const std::filesystem::path& p, std::string bytes, unsigned permissions = 0644);
    // The four-character type and creator codes of a file that exists.
    void setCodes(const std::filesystem::path& p, const std::string& type,
                  const std::string& creator);
    // A file's node, or none.
    std::shared_ptr<const Node> find(const std::filesystem::path& p) const;
    // The paths of all the files, sorted.
    std::vector<std::filesystem::path> paths() const;
    void remove(const std::filesystem::path& p);

    int openRead(const std::filesystem::path& p, std::unique_ptr<File>& out) override;
    int openFolder(const std::filesystem::path& p, std::unique_ptr<Folder>& out) override;

  private:
    friend class MemoryFolder;
    mutable std::mutex m_;
    std::map<std::filesystem::path, std::shared_ptr<Node>> files_;
};

} // namespace qmk
