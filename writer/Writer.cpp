// Placeholder until the writer lands.
#include "writer/Writer.h"

#include <stdexcept>

namespace qmk {
void save(ConversionState&) { throw std::logic_error("save is not built yet"); }
void saveQmkaVrs(ConversionState&, BinaryStream&) { throw std::logic_error("not built yet"); }
void saveCurrencies(ConversionState&) { throw std::logic_error("not built yet"); }
void saveAccess(ConversionState&) { throw std::logic_error("not built yet"); }
void saveAccounts(ConversionState&) { throw std::logic_error("not built yet"); }
void saveEcr(ConversionState&) { throw std::logic_error("not built yet"); }
int64_t SaveBlock(ConversionState&, const MemoryBlock&) { throw std::logic_error("not built yet"); }
std::string NameWithoutExtension(const FolderItem& f) { return f.Name(); }
namespace VLQmka {
namespace {
std::vector<FileType> all;
FileType pro{"Quillmark Pro", ".qmkp", "QMKP", "QMKP", "", true, ""};
} // namespace
void Initialize() {
    if (all.empty())
        all.push_back(pro);
    RegisterFileType(pro);
}
const FileType& QuillProDoc() { return pro; }
const std::vector<FileType>& pAllFileTypes() { return all; }
} // namespace VLQmka
} // namespace qmk
