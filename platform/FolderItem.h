// A file object: a path, plus the four-character type and creator codes that the
// platform keeps in the file's FinderInfo extended attribute.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qmk {

class FolderItem {
  public:
    FolderItem() = default;
    explicit FolderItem(std::filesystem::path p);

    FolderItem Child(const std::string& name) const; // need not exist
    FolderItem Parent() const;
    bool Exists() const; // also true for a dangling symbolic link: the name is taken
    bool IsFolder() const;
    std::string Name() const;
    std::string AbsolutePath() const;
    std::string NativePath() const;
    const std::filesystem::path& path() const { return path_; }

    // Empty when the file has no codes, or the file system keeps none.
    std::string MacType() const;
    std::string MacCreator() const;
    // Returns false when the file system refuses extended attributes; the file
    // is then left as it was. Other failures throw a StreamError.
    bool SetMacType(const std::string& code) const;
    bool SetMacCreator(const std::string& code) const;
    bool SetMacTypeAndCreator(const std::string& type, const std::string& creator) const;

    bool operator==(const FolderItem& o) const { return path_ == o.path_; }

    // Name of the attribute on this platform.
    static const char* FinderInfoAttribute();

  private:
    std::string code(size_t offset) const;
    std::filesystem::path path_;
};

// The file object of an absolute path.
FolderItem GetFolderItem(const std::string& absolutePath);

} // namespace qmk
