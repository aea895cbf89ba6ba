// The Pro document file: name choice, creation, the five writers, and the
// publication of the finished document under its name.
//
// The document is written to a hidden temporary file in the same folder and
// given its name only once it is complete and on the disk, without replacing
// anything: a failed or interrupted save leaves nothing that looks converted,
// and no existing file is ever touched.
#include "writer/Writer.h"

#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/Worker.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qmk {

namespace {

// The free-name loop: base.qmkp, base_1.qmkp, base_2.qmkp, … with no bound.
class NameChooser {
  public:
    NameChooser(FolderItem folder, std::string base)
        : folder_(std::move(folder)), base_(std::move(base)) {}

    FolderItem first() { return folder_.Child(base_ + ".qmkp"); }
    FolderItem next() {
        // The folder is looked up again for every candidate.
        FolderItem folder = GetFolderItem(folder_.AbsolutePath());
        return folder.Child(base_ + "_" + std::to_string(e_++) + ".qmkp");
    }
    // From `candidate` on, the first name that is not taken.
    FolderItem firstFree(FolderItem candidate) {
        while (candidate.Exists()) {
            candidate = next();
            YieldNow();
        }
        return candidate;
    }

  private:
    FolderItem folder_;
    std::string base_;
    int64_t e_ = 1;
};

std::unique_ptr<BinaryStream> createTemporary(const FolderItem& folder, FolderItem& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0;; ++attempt) {
        temp = folder.Child(".qmkp-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter.fetch_add(1)) + ".tmp");
        try {
            return BinaryStream::Create(temp);
        } catch (const FileExistsError&) {
            if (attempt >= 1000)
                throw;
        }
    }
}

struct Failure {
    StreamOp op;
    int code;
};

// Gives the finished file its name only if the name is free: 0 on success.
Failure publishOnce(const FolderItem& temp, const FolderItem& target) {
    if (int e = BinaryStream::InjectedFault(StreamOp::Link, target.path()))
        return {StreamOp::Link, e};
    if (::renameat2(AT_FDCWD, temp.path().c_str(), AT_FDCWD, target.path().c_str(),
                    RENAME_NOREPLACE) == 0)
        return {StreamOp::Link, 0};
    const int e = errno;
    if (e != EINVAL && e != ENOSYS && e != ENOTSUP)
        return {StreamOp::Link, e};
    // A file system without the no-replace rename: a hard link never replaces either.
    if (::link(temp.path().c_str(), target.path().c_str()) != 0)
        return {StreamOp::Link, errno};
    if (::unlink(temp.path().c_str()) != 0) {
        const int u = errno;
        ::unlink(target.path().c_str()); // both names are ours: take the document back
        return {StreamOp::Remove, u};
    }
    return {StreamOp::Link, 0};
}

// Best effort: the document is complete and named; this only makes the name
// itself durable sooner.
void syncFolder(const FolderItem& folder) {
    int fd = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string NameWithoutExtension(const FolderItem& f) {
    const std::string name = f.Name();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

int64_t SaveBlock(ConversionDocument& s, const MemoryBlock& block) {
    BinaryStream& out = s.stream();
    out.Write(block.bytes());
    out.Flush();
    return out.LastErrorCode();
}

void save(ConversionDocument& s, ConversionHandoff& h) {
    h.newStatus(Globals::kStatusSave());

    // The file the run started with, whatever the interface has done since.
    const FolderItem& source = s.fileToConvert;
    s.header(); // a document without a header record makes no file at all
    const std::string base = NameWithoutExtension(source);
    const FolderItem folder = GetFolderItem(source.Parent().AbsolutePath());
    NameChooser names(folder, base);
    FolderItem target = names.firstFree(names.first());

    FolderItem temp;
    s.fileBS = createTemporary(folder, temp);
    try {
        const FileType& pro = VLQmka::QuillProDoc();
        temp.SetMacTypeAndCreator(pro.MacType, pro.MacCreator); // false: no codes on this disk
        s.fileBS->LittleEndian = false;

        saveQmkaVrs(s, *s.fileBS);
        saveCurrencies(s);
        saveAccess(s);
        saveAccounts(s);
        saveEcr(s);

        s.fileBS->Sync();
        s.fileBS->Close();

        // A name taken since it was chosen is passed over, never replaced.
        for (;;) {
            const Failure f = publishOnce(temp, target);
            if (f.code == 0)
                break;
            if (f.code != EEXIST || f.op != StreamOp::Link)
                throw StreamError(f.op, target.path(), f.code);
            target = names.firstFree(names.next());
        }
    } catch (...) {
        s.fileBS.reset();
        ::unlink(temp.path().c_str());
        throw;
    }
    syncFolder(folder);
    h.setNewFile(target);
}

namespace VLQmka {
namespace {
std::vector<FileType>& all() {
    static std::vector<FileType> types;
    return types;
}
FileType& pro() {
    static FileType t = [] {
        FileType f;
        f.Name = "Quillmark Pro";
        f.Extensions = ".qmkp";
        f.MacType = "QMKP";
        f.MacCreator = "QMKP";
        f.MimeType = "";
        f.Imported = true;
        f.ConformsTo = "";
        return f;
    }();
    return t;
}
} // namespace

void Initialize() {
    if (all().empty())
        all().push_back(pro());
    RegisterFileType(pro());
}
const FileType& QuillProDoc() {
    return pro();
}
const std::vector<FileType>& pAllFileTypes() {
    return all();
}
} // namespace VLQmka

} // namespace qmk
