// A file system that passes every operation to another one, after asking a
// hook: the hook can fail the operation (its errno), delay it, or change the
// folder first, as another program would.
#pragma once

#include "platform/BinaryStream.h"
#include "platform/FileSystem.h"

#include <functional>
#include <string>

namespace qmk::test {

enum class FsOp {
    OpenRead,
    OpenFolder,
    Read,
    Write,
    Sync,
    Stat,
    SetPermissions,
    ReadCodes,
    WriteCodes,
    Close,
    CreateUnnamed,
    LinkUnnamed,
    CreateNew,
    RenameNoReplace,
    Link,
    Unlink,
    SyncFolder,
};

const char* opName(FsOp op);

// `what` is the path opened, the name in a folder, or (for the operations of
// an open file) the path it was opened as or the folder it was created in.
using FsHook = std::function<int(FsOp op, const std::string& what)>;

class FaultyFileSystem : public FileSystem {
  public:
    explicit FaultyFileSystem(FileSystem& inner, FsHook hook = {})
        : inner_(inner), hook_(std::move(hook)) {}
    void setHook(FsHook hook) { hook_ = std::move(hook); }

    int openRead(const std::filesystem::path& p, std::unique_ptr<File>& out) override;
    int openFolder(const std::filesystem::path& p, std::unique_ptr<Folder>& out) override;

    int ask(FsOp op, const std::string& what) const { return hook_ ? hook_(op, what) : 0; }

  private:
    FileSystem& inner_;
    FsHook hook_;
};

// A writable stream on a new file at the path (which must be free).
std::unique_ptr<BinaryStream> newFileStream(const std::filesystem::path& p,
                                            FileSystem& fs = RealFileSystem());

// Every unnamed file refused and the no-replace rename missing: the fallback
// road of a file system that has neither.
int withoutUnnamedFilesOrNoReplaceRename(FsOp op, const std::string& what);

} // namespace qmk::test
