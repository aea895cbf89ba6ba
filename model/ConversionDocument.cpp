#include "model/ConversionDocument.h"

#include "model/Globals.h"
#include "model/Layout.h"
#include "platform/Errors.h"

#include <string>

namespace qmk {

EntryCount::EntryCount(int64_t n) : n_(n) {
    if (n < 0)
        throw ConversionError(Globals::kNegativeEcrCount() + std::to_string(n));
}

ConversionDocument::ConversionDocument(FolderItem file, FileSystem& fs)
    : fileToConvert(std::move(file)), fileSystem(fs), currencies(Layout::kCurrencyLast + 1),
      acces(Layout::kAccessCount) {}

BinaryStream& ConversionDocument::stream() {
    if (!fileBS)
        throw ConversionError("aucun document ouvert");
    return *fileBS;
}

VLQmkaProVersion& ConversionDocument::header() {
    if (!qmkaVrs)
        throw ConversionError("aucun en-tête de document en cours");
    return *qmkaVrs;
}

} // namespace qmk
