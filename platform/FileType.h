// A file type as the platform registers it: a name, extensions and the
// four-character type and creator codes.
#pragma once

#include <string>
#include <vector>

namespace qmk {

struct FileType {
    std::string Name;
    std::string Extensions;
    std::string MacType;
    std::string MacCreator;
    std::string MimeType;
    bool Imported = false;
    std::string ConformsTo;
};

// Registers a type once, under its Name; later calls with the same name do nothing.
void RegisterFileType(const FileType& t);
// The registered types, in the order of registration.
std::vector<FileType> RegisteredFileTypes();

} // namespace qmk
