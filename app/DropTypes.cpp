#include "app/DropTypes.h"

#include <optional>

namespace qmk::DropTypes {

namespace {
std::optional<FileType> pAny;
std::vector<FileType> all;
const FileType none;
} // namespace

void Initialize() {
    if (pAny)
        return;
    FileType t;
    t.Name = "special/any";
    t.Extensions = "";
    t.MacType = "????";
    t.MacCreator = "????";
    t.MimeType = "";
    t.Imported = true;
    t.ConformsTo = "";
    pAny = t;
    all.push_back(t);
    RegisterFileType(t);
}

const FileType& Any() {
    return pAny ? *pAny : none;
}

const std::vector<FileType>& pAllFileTypes() {
    return all;
}

} // namespace qmk::DropTypes
