#include "platform/FolderItem.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace qmk {

namespace fs = std::filesystem;

namespace {

// Reads the 32-byte FinderInfo; all zero when there is none.
FinderInfo readFinderInfo(const fs::path& p, bool& present) {
    FinderInfo info{};
    present = false;
#ifdef __APPLE__
    ssize_t n =
        getxattr(p.c_str(), FolderItem::FinderInfoAttribute(), info.data(), info.size(), 0, 0);
#else
    ssize_t n = getxattr(p.c_str(), FolderItem::FinderInfoAttribute(), info.data(), info.size());
#endif
    if (n > 0)
        present = true;
    else
        info.fill(0);
    return info;
}

} // namespace

const char* FolderItem::FinderInfoAttribute() {
#ifdef __APPLE__
    return "com.apple.FinderInfo";
#else
    return "user.com.apple.FinderInfo";
#endif
}

FolderItem::FolderItem(fs::path p) : path_(std::move(p)) {}

FolderItem FolderItem::Child(const std::string& name) const {
    return FolderItem(path_ / name);
}

FolderItem FolderItem::Parent() const {
    fs::path abs = path_.is_absolute() ? path_ : fs::absolute(path_);
    return FolderItem(abs.lexically_normal().parent_path());
}

bool FolderItem::Exists() const {
    struct stat st;
    return lstat(path_.c_str(), &st) == 0;
}

bool FolderItem::IsFolder() const {
    struct stat st;
    return stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderItem::Name() const {
    fs::path n = path_.filename();
    if (n.empty())
        n = path_.parent_path().filename();
    return n.string();
}

std::string FolderItem::AbsolutePath() const {
    return (path_.is_absolute() ? path_ : fs::absolute(path_)).lexically_normal().string();
}

std::string FolderItem::NativePath() const {
    return AbsolutePath();
}

std::string FolderItem::code(size_t offset) const {
    bool present = false;
    const FinderInfo info = readFinderInfo(path_, present);
    return present ? FinderCode(info, offset) : std::string();
}

std::string FolderItem::MacType() const {
    return code(0);
}
std::string FolderItem::MacCreator() const {
    return code(4);
}

bool FolderItem::SetMacTypeAndCreator(const std::string& type, const std::string& creator) const {
    bool present = false;
    FinderInfo info = readFinderInfo(path_, present); // keep the other 24 bytes as they are
    SetFinderCodes(info, type, creator);
#ifdef __APPLE__
    int r = setxattr(path_.c_str(), FinderInfoAttribute(), info.data(), info.size(), 0, 0);
#else
    int r = setxattr(path_.c_str(), FinderInfoAttribute(), info.data(), info.size(), 0);
#endif
    if (r == 0)
        return true;
    if (KeepsNoFinderInfo(errno))
        return false;
    throw StreamError(StreamOp::Write, path_, errno);
}

bool FolderItem::SetMacType(const std::string& code) const {
    return SetMacTypeAndCreator(code, MacCreator().empty() ? std::string(4, '\0') : MacCreator());
}

bool FolderItem::SetMacCreator(const std::string& code) const {
    return SetMacTypeAndCreator(MacType().empty() ? std::string(4, '\0') : MacType(), code);
}

FolderItem GetFolderItem(const std::string& absolutePath) {
    return FolderItem(absolutePath);
}

} // namespace qmk
