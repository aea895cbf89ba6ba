#include "platform/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace qmk {

namespace fs = std::filesystem;

namespace {

class MemoryFile : public File {
  public:
    MemoryFile(std::shared_ptr<MemoryFileSystem::Node> node, bool writable)
        : node_(std::move(node)), writable_(writable) {}
    const std::shared_ptr<MemoryFileSystem::Node>& node() const { return node_; }

    int readAt(int64_t at, void* dst, size_t n, size_t& got) override {
        got = 0;
        if (!open_)
            return EBADF;
        if (at < 0)
            return EINVAL;
        got = node_->read(static_cast<size_t>(at), static_cast<char*>(dst), n);
        return 0;
    }
    int writeAt(int64_t at, const void* src, size_t n) override {
        if (!open_ || !writable_)
            return EBADF;
        if (at < 0)
            return EINVAL;
        node_->write(static_cast<size_t>(at), static_cast<const char*>(src), n);
        return 0;
    }
    int sync() override { return open_ ? 0 : EBADF; }
    int stat(FileInfo& out) override {
        if (!open_)
            return EBADF;
        out.kind = node_->kind;
        out.size = static_cast<int64_t>(node_->size);
        out.permissions = node_->permissions;
        return 0;
    }
    int setPermissions(unsigned mode) override {
        if (!open_)
            return EBADF;
        node_->permissions = mode;
        return 0;
    }
    int readFinderInfo(FinderInfo& out, bool& present) override {
        if (!open_)
            return EBADF;
        present = node_->hasFinderInfo;
        out = present ? node_->finderInfo : FinderInfo{};
        return 0;
    }
    int writeFinderInfo(const FinderInfo& info) override {
        if (!open_)
            return EBADF;
        node_->finderInfo = info;
        node_->hasFinderInfo = true;
        return 0;
    }
    int close() override {
        open_ = false;
        return 0;
    }

  private:
    std::shared_ptr<MemoryFileSystem::Node> node_;
    bool writable_;
    bool open_ = true;
};

} // namespace

class MemoryFolder : public Folder {
  public:
    MemoryFolder(MemoryFileSystem& fs, fs::path path) : fs_(fs), path_(std::move(path)) {}

    bool exists(const std::string& name) override {
        std::lock_guard<std::mutex> lock(fs_.m_);
        return fs_.files_.count(path_ / name) > 0;
    }
    int createUnnamed(unsigned mode, std::unique_ptr<File>& out) override {
        auto node = std::make_shared<MemoryFileSystem::Node>();
        node->permissions = mode;
        out = std::make_unique<MemoryFile>(std::move(node), true);
        return 0;
    }
    int linkUnnamed(File& file, const std::string& name) override {
        auto* f = dynamic_cast<MemoryFile*>(&file);
        if (!f)
            return EINVAL;
        std::lock_guard<std::mutex> lock(fs_.m_);
        return fs_.files_.emplace(path_ / name, f->node()).second ? 0 : EEXIST;
    }
    int createNew(const std::string& name, unsigned mode, std::unique_ptr<File>& out) override {
        auto node = std::make_shared<MemoryFileSystem::Node>();
        node->permissions = mode;
        std::lock_guard<std::mutex> lock(fs_.m_);
        if (!fs_.files_.emplace(path_ / name, node).second)
            return EEXIST;
        out = std::make_unique<MemoryFile>(std::move(node), true);
        return 0;
    }
    int renameNoReplace(const std::string& from, const std::string& to) override {
        std::lock_guard<std::mutex> lock(fs_.m_);
        auto it = fs_.files_.find(path_ / from);
        if (it == fs_.files_.end())
            return ENOENT;
        if (!fs_.files_.emplace(path_ / to, it->second).second)
            return EEXIST;
        fs_.files_.erase(it);
        return 0;
    }
    int link(const std::string& from, const std::string& to) override {
        std::lock_guard<std::mutex> lock(fs_.m_);
        auto it = fs_.files_.find(path_ / from);
        if (it == fs_.files_.end())
            return ENOENT;
        return fs_.files_.emplace(path_ / to, it->second).second ? 0 : EEXIST;
    }
    int unlink(const std::string& name) override {
        std::lock_guard<std::mutex> lock(fs_.m_);
        return fs_.files_.erase(path_ / name) ? 0 : ENOENT;
    }
    int sync() override { return 0; }

  private:
    MemoryFileSystem& fs_;
    fs::path path_;
};

void MemoryFileSystem::Node::write(size_t at, const char* src, size_t n) {
    // A write past the end leaves a gap that reads as zeros; every byte below
    // `size` has been written or zeroed, so chunks need no zeroing of their own.
    if (at > size) {
        static const char zeros[4096] = {};
        while (size < at) {
            const size_t gap = std::min(at - size, sizeof zeros);
            write(size, zeros, gap);
        }
    }
    while (n > 0) {
        const size_t c = at / kChunk, off = at % kChunk, part = std::min(n, kChunk - off);
        while (chunks.size() <= c)
            chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
        std::memcpy(chunks[c].get() + off, src, part);
        at += part;
        src += part;
        n -= part;
        size = std::max(size, at);
    }
}

size_t MemoryFileSystem::Node::read(size_t at, char* dst, size_t n) const {
    if (at >= size)
        return 0;
    n = std::min(n, size - at);
    for (size_t done = 0; done < n;) {
        const size_t c = (at + done) / kChunk, off = (at + done) % kChunk;
        const size_t part = std::min(n - done, kChunk - off);
        std::memcpy(dst + done, chunks[c].get() + off, part);
        done += part;
    }
    return n;
}

std::string MemoryFileSystem::Node::contents() const {
    std::string s(size, '\0');
    read(0, s.data(), size);
    return s;
}

void MemoryFileSystem::put(const fs::path& p, std::string bytes, unsigned permissions) {
    auto node = std::make_shared<Node>();
    node->write(0, bytes.data(), bytes.size());
    node->permissions = permissions;
    std::lock_guard<std::mutex> lock(m_);
    files_[p] = std::move(node);
}

void MemoryFileSystem::setCodes(const fs::path& p, const std::string& type,
                                const std::string& creator) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = files_.find(p);
    if (it == files_.end())
        return;
    Node& n = *it->second;
    for (size_t i = 0; i < 4; ++i) {
        n.finderInfo[i] = i < type.size() ? type[i] : ' ';
        n.finderInfo[4 + i] = i < creator.size() ? creator[i] : ' ';
    }
    n.hasFinderInfo = true;
}

std::shared_ptr<const MemoryFileSystem::Node> MemoryFileSystem::find(const fs::path& p) const {
    std::lock_guard<std::mutex> lock(m_);
    auto it = files_.find(p);
    return it == files_.end() ? nullptr : it->second;
}

std::vector<fs::path> MemoryFileSystem::paths() const {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<fs::path> r;
    for (const auto& [p, n] : files_)
        r.push_back(p);
    return r;
}

void MemoryFileSystem::remove(const fs::path& p) {
    std::lock_guard<std::mutex> lock(m_);
    files_.erase(p);
}

int MemoryFileSystem::openRead(const fs::path& p, std::unique_ptr<File>& out) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = files_.find(p);
    if (it == files_.end()) {
        // A folder is any path that some file lies under.
        for (const auto& [q, n] : files_)
            if (q.parent_path() == p) {
                auto folder = std::make_shared<Node>();
                folder->kind = FileInfo::Kind::Folder;
                out = std::make_unique<MemoryFile>(std::move(folder), false);
                return 0;
            }
        return ENOENT;
    }
    out = std::make_unique<MemoryFile>(it->second, false);
    return 0;
}

int MemoryFileSystem::openFolder(const fs::path& p, std::unique_ptr<Folder>& out) {
    std::lock_guard<std::mutex> lock(m_);
    if (files_.count(p))
        return ENOTDIR;
    out = std::make_unique<MemoryFolder>(*this, p);
    return 0;
}

} // namespace qmk
