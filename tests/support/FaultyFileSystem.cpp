#include "support/FaultyFileSystem.h"

#include <cerrno>

namespace qmk::test {

namespace {

class FaultyFile : public File {
  public:
    FaultyFile(const FaultyFileSystem& fs, std::unique_ptr<File> inner, std::string what)
        : fs_(fs), inner_(std::move(inner)), what_(std::move(what)) {}
    File& inner() { return *inner_; }

    int readAt(int64_t at, void* dst, size_t n, size_t& got) override {
        got = 0;
        if (int e = fs_.ask(FsOp::Read, what_))
            return e;
        return inner_->readAt(at, dst, n, got);
    }
    int writeAt(int64_t at, const void* src, size_t n) override {
        if (int e = fs_.ask(FsOp::Write, what_))
            return e;
        return inner_->writeAt(at, src, n);
    }
    int sync() override {
        if (int e = fs_.ask(FsOp::Sync, what_))
            return e;
        return inner_->sync();
    }
    int stat(FileInfo& out) override {
        if (int e = fs_.ask(FsOp::Stat, what_))
            return e;
        return inner_->stat(out);
    }
    int setPermissions(unsigned mode) override {
        if (int e = fs_.ask(FsOp::SetPermissions, what_))
            return e;
        return inner_->setPermissions(mode);
    }
    int readFinderInfo(FinderInfo& out, bool& present) override {
        present = false;
        if (int e = fs_.ask(FsOp::ReadCodes, what_))
            return e;
        return inner_->readFinderInfo(out, present);
    }
    int writeFinderInfo(const FinderInfo& info) override {
        if (int e = fs_.ask(FsOp::WriteCodes, what_))
            return e;
        return inner_->writeFinderInfo(info);
    }
    int close() override {
        if (int e = fs_.ask(FsOp::Close, what_)) {
            inner_->close(); // a failed close still leaves the file closed
            return e;
        }
        return inner_->close();
    }

  private:
    const FaultyFileSystem& fs_;
    std::unique_ptr<File> inner_;
    std::string what_;
};

class FaultyFolder : public Folder {
  public:
    FaultyFolder(const FaultyFileSystem& fs, std::unique_ptr<Folder> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}

    bool exists(const std::string& name) override { return inner_->exists(name); }
    int createUnnamed(unsigned mode, std::unique_ptr<File>& out) override {
        if (int e = fs_.ask(FsOp::CreateUnnamed, path_))
            return e;
        std::unique_ptr<File> f;
        if (int e = inner_->createUnnamed(mode, f))
            return e;
        out = std::make_unique<FaultyFile>(fs_, std::move(f), path_);
        return 0;
    }
    int linkUnnamed(File& file, const std::string& name) override {
        if (int e = fs_.ask(FsOp::LinkUnnamed, name))
            return e;
        auto* f = dynamic_cast<FaultyFile*>(&file);
        return inner_->linkUnnamed(f ? f->inner() : file, name);
    }
    int createNew(const std::string& name, unsigned mode, std::unique_ptr<File>& out) override {
        if (int e = fs_.ask(FsOp::CreateNew, name))
            return e;
        std::unique_ptr<File> f;
        if (int e = inner_->createNew(name, mode, f))
            return e;
        out = std::make_unique<FaultyFile>(fs_, std::move(f), path_);
        return 0;
    }
    int renameNoReplace(const std::string& from, const std::string& to) override {
        if (int e = fs_.ask(FsOp::RenameNoReplace, to))
            return e;
        return inner_->renameNoReplace(from, to);
    }
    int link(const std::string& from, const std::string& to) override {
        if (int e = fs_.ask(FsOp::Link, to))
            return e;
        return inner_->link(from, to);
    }
    int unlink(const std::string& name) override {
        if (int e = fs_.ask(FsOp::Unlink, name))
            return e;
        return inner_->unlink(name);
    }
    int sync() override {
        if (int e = fs_.ask(FsOp::SyncFolder, path_))
            return e;
        return inner_->sync();
    }
    int nativeHandle() const override { return inner_->nativeHandle(); }

  private:
    const FaultyFileSystem& fs_;
    std::unique_ptr<Folder> inner_;
    std::string path_;
};

} // namespace

const char* opName(FsOp op) {
    switch (op) {
    case FsOp::OpenRead:
        return "OpenRead";
    case FsOp::OpenFolder:
        return "OpenFolder";
    case FsOp::Read:
        return "Read";
    case FsOp::Write:
        return "Write";
    case FsOp::Sync:
        return "Sync";
    case FsOp::Stat:
        return "Stat";
    case FsOp::SetPermissions:
        return "SetPermissions";
    case FsOp::ReadCodes:
        return "ReadCodes";
    case FsOp::WriteCodes:
        return "WriteCodes";
    case FsOp::Close:
        return "Close";
    case FsOp::CreateUnnamed:
        return "CreateUnnamed";
    case FsOp::LinkUnnamed:
        return "LinkUnnamed";
    case FsOp::CreateNew:
        return "CreateNew";
    case FsOp::RenameNoReplace:
        return "RenameNoReplace";
    case FsOp::Link:
        return "Link";
    case FsOp::Unlink:
        return "Unlink";
    case FsOp::SyncFolder:
        return "SyncFolder";
    }
    return "?";
}

int FaultyFileSystem::openRead(const std::filesystem::path& p, std::unique_ptr<File>& out) {
    if (int e = ask(FsOp::OpenRead, p.string()))
        return e;
    std::unique_ptr<File> f;
    if (int e = inner_.openRead(p, f))
        return e;
    out = std::make_unique<FaultyFile>(*this, std::move(f), p.string());
    return 0;
}

int FaultyFileSystem::openFolder(const std::filesystem::path& p, std::unique_ptr<Folder>& out) {
    if (int e = ask(FsOp::OpenFolder, p.string()))
        return e;
    std::unique_ptr<Folder> f;
    if (int e = inner_.openFolder(p, f))
        return e;
    out = std::make_unique<FaultyFolder>(*this, std::move(f), p.string());
    return 0;
}

std::unique_ptr<BinaryStream> newFileStream(const std::filesystem::path& p, FileSystem& fs) {
    std::unique_ptr<Folder> folder;
    std::unique_ptr<File> file;
    if (int e = fs.openFolder(p.parent_path(), folder))
        throw StreamError(StreamOp::Open, p.parent_path(), e);
    if (int e = folder->createNew(p.filename().string(), 0644, file))
        throw StreamError(StreamOp::Create, p, e);
    return std::make_unique<BinaryStream>(std::move(file), p, true);
}

int withoutUnnamedFilesOrNoReplaceRename(FsOp op, const std::string&) {
    if (op == FsOp::CreateUnnamed)
        return EOPNOTSUPP;
    if (op == FsOp::RenameNoReplace)
        return EINVAL;
    return 0;
}

} // namespace qmk::test
