// The Pro document file: name choice, creation, the five writers, and the
// publication of the finished document under its name.
//
// The document is written to a file without a name in the target folder, put
// on the disk and only then given its name, never replacing one: a failed,
// interrupted or killed save leaves nothing in the folder, and no existing file
// is ever touched. Where the file system has no unnamed files, a hidden
// temporary file takes their place and is renamed the same way; a forced exit
// removes it.
#include "writer/Writer.h"

#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/InFlight.h"
#include "platform/Worker.h"

#include <atomic>
#include <cerrno>
#include <unistd.h>

namespace qmk {

namespace {

// The free-name loop: base.qmkp, base_1.qmkp, base_2.qmkp, … with no bound.
class NameChooser {
  public:
    NameChooser(Folder& folder, FolderItem folderItem, std::string base)
        : folder_(folder), item_(std::move(folderItem)), base_(std::move(base)) {}

    std::string first() const { return base_ + ".qmkp"; }
    std::string next() { return base_ + "_" + std::to_string(e_++) + ".qmkp"; }
    // From `candidate` on, the first name that is not taken.
    std::string firstFree(std::string candidate) {
        while (folder_.exists(candidate)) {
            candidate = next();
            YieldNow();
        }
        return candidate;
    }
    FolderItem item(const std::string& name) const { return item_.Child(name); }

  private:
    Folder& folder_;
    FolderItem item_;
    std::string base_;
    int64_t e_ = 1;
};

constexpr unsigned kOwnerReadWrite = 0600;

// A umask may take the owner's own bits too (0277 takes the write): they are
// given back, since a document its owner cannot save is of no use. Group and
// others keep what the umask left them.
void letTheOwnerReadAndWrite(File& file, const FolderItem& target) {
    FileInfo info;
    if (int e = file.stat(info))
        throw StreamError(StreamOp::Permissions, target.path(), e);
    if ((info.permissions & kOwnerReadWrite) == kOwnerReadWrite)
        return;
    const int e = file.setPermissions((info.permissions & 0777) | kOwnerReadWrite);
    // A file system without Unix modes (FAT, some network shares) refuses the
    // change: its files have what its mount gives them, and the document is made.
    if (e != 0 && e != EPERM && e != ENOTSUP && e != EOPNOTSUPP)
        throw StreamError(StreamOp::Permissions, target.path(), e);
}

bool noUnnamedFiles(int e) {
    return e == EOPNOTSUPP || e == ENOTSUP || e == EISDIR || e == EINVAL || e == ENOSYS;
}

bool noNoReplaceRename(int e) {
    return e == EINVAL || e == ENOSYS || e == ENOTSUP || e == EOPNOTSUPP;
}

// The document while it is written: unnamed, or under a hidden temporary name.
// Until it is published, dropping it leaves nothing in the folder.
class Output {
  public:
    // Errors name `target`, the document the user will see, never a temporary.
    Output(Folder& folder, const FolderItem& target, unsigned mode) : folder_(folder) {
        std::unique_ptr<File> file;
        int e = folder_.createUnnamed(mode, file);
        if (e != 0 && noUnnamedFiles(e)) {
            static std::atomic<unsigned> counter{0};
            for (int attempt = 0;; ++attempt) {
                temp_ = ".qmkp-" + std::to_string(::getpid()) + "-" +
                        std::to_string(counter.fetch_add(1)) + ".tmp";
                e = folder_.createNew(temp_, mode, file);
                if (e != EEXIST || attempt >= 1000)
                    break;
            }
            if (e == 0)
                SetInFlightTemporary(folder_.nativeHandle(), temp_.c_str());
            else
                temp_.clear();
        }
        if (e != 0)
            throw StreamError(StreamOp::Create, target.path(), e);
        stream_ = std::make_unique<BinaryStream>(std::move(file), target.path(), true);
    }
    ~Output() { discard(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // The stream, for the document to hold while it is written.
    std::unique_ptr<BinaryStream> takeStream() { return std::move(stream_); }

    // Gives the finished document the name, never replacing one: EEXIST when
    // the name is taken, 0 once named. Other failures throw.
    int publish(BinaryStream& out, const FolderItem& target) {
        const std::string name = target.Name();
        if (temp_.empty()) {
            const int e = folder_.linkUnnamed(out.file(), name);
            if (e != 0 && e != EEXIST)
                throw StreamError(StreamOp::Link, target.path(), e);
            return e;
        }
        int e = folder_.renameNoReplace(temp_, name);
        if (e == 0) {
            ClearInFlightTemporary(folder_.nativeHandle(), temp_.c_str());
            temp_.clear();
            return 0;
        }
        if (!noNoReplaceRename(e)) {
            if (e != EEXIST)
                throw StreamError(StreamOp::Link, target.path(), e);
            return e;
        }
        // A file system without the no-replace rename: a hard link never replaces either.
        e = folder_.link(temp_, name);
        if (e == EEXIST)
            return e;
        if (e != 0)
            throw StreamError(StreamOp::Link, target.path(), e);
        if (int u = folder_.unlink(temp_)) {
            // Both names are ours: the document goes back to being unfinished, and
            // what could not be removed is the temporary, so that is what is named.
            folder_.unlink(name);
            throw StreamError(StreamOp::Remove, target.Parent().Child(temp_).path(), u);
        }
        ClearInFlightTemporary(folder_.nativeHandle(), temp_.c_str());
        temp_.clear();
        return 0;
    }

    // Takes back a published name (its stream failed to close).
    void unpublish(const FolderItem& target) { folder_.unlink(target.Name()); }

    // Removes what the save made; a published document stays.
    void discard() noexcept {
        if (temp_.empty())
            return;
        ClearInFlightTemporary(folder_.nativeHandle(), temp_.c_str());
        folder_.unlink(temp_);
        temp_.clear();
    }

  private:
    Folder& folder_;
    std::string temp_; // empty: unnamed, or no longer a temporary
    std::unique_ptr<BinaryStream> stream_;
};

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
    // Private books stay private: group and others get the source's read and
    // write bits (less the umask, as for any new file). The owner always reads
    // and writes the document, also from a read-only source.
    const auto& opened = s.stream().info();
    if (!opened)
        throw ConversionError("aucun document source ouvert");
    const unsigned mode = kOwnerReadWrite | (opened->permissions & 0066);
    const std::string base = NameWithoutExtension(source);
    const FolderItem folderItem = GetFolderItem(source.Parent().AbsolutePath());
    std::unique_ptr<Folder> folder;
    if (int e = s.fileSystem.openFolder(folderItem.path(), folder))
        throw StreamError(StreamOp::Open, folderItem.path(), e);
    NameChooser names(*folder, folderItem, base);
    FolderItem target = names.item(names.firstFree(names.first()));

    Output output(*folder, target, mode);
    // The source's stream is released here, as the output takes its place.
    s.fileBS = output.takeStream();
    BinaryStream& out = *s.fileBS;
    bool published = false;
    try {
        letTheOwnerReadAndWrite(out.file(), target);
        const FileType& pro = VLQmka::QuillProDoc();
        out.SetMacTypeAndCreator(pro.MacType, pro.MacCreator); // false: no codes on this disk
        out.LittleEndian = false;

        saveQmkaVrs(s, out);
        saveCurrencies(s);
        saveAccess(s);
        saveAccounts(s);
        saveEcr(s);

        out.Sync();
        // A name taken since it was chosen is passed over, never replaced.
        while (output.publish(out, target) == EEXIST) {
            target = names.item(names.firstFree(names.next()));
            out.setShownPath(target.path());
        }
        published = true;
        out.Close();
    } catch (...) {
        s.fileBS.reset();
        if (published)
            output.unpublish(target);
        throw;
    }
    // Best effort: the document is complete and named; this makes the name
    // itself durable sooner.
    folder->sync();
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
