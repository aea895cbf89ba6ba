// The document of one conversion: the file it converts, the version word, the
// header record, the open stream and the record arrays that the reader fills and
// the writer serialises.
//
// The worker body creates one for each run, on its own thread, and no other
// thread ever sees it: nothing in it is shared, so nothing in it is locked.
#pragma once

#include "model/DB_Format.h"
#include "model/VLQmkaProVersion.h"
#include "platform/BinaryStream.h"
#include "platform/FileSystem.h"
#include "platform/FolderItem.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qmk {

// A journal count as the road uses it: never negative. Made from the header's
// count, it refuses a negative one (a header value of 32768 or more, which would
// size the journal below nothing and give the Pro header a count of four billion
// records).
class EntryCount {
  public:
    EntryCount(int64_t n);
    int64_t value() const { return n_; }
    operator int64_t() const { return n_; }

  private:
    int64_t n_;
};

class ConversionDocument {
  public:
    // The file is fixed for the whole run, from its reading to its output's name;
    // it is read, and the output written, through `fs`.
    explicit ConversionDocument(FolderItem file = FolderItem(), FileSystem& fs = RealFileSystem());
    ConversionDocument(const ConversionDocument&) = delete;
    ConversionDocument& operator=(const ConversionDocument&) = delete;

    const FolderItem fileToConvert;
    FileSystem& fileSystem;
    int64_t version = 0;
    std::unique_ptr<VLQmkaProVersion> qmkaVrs;
    std::unique_ptr<BinaryStream> fileBS;
    std::vector<DB_Format::CatRec> currencies;   // 0..31
    std::vector<DB_Format::CptRecord> accounts;  // empty until a Plus / X read
    std::vector<DB_Format::EcrRecord> ecritures; // empty until a Plus / X read
    std::vector<DB_Format::AccessRec> acces;     // 0..5
    DB_Format::EnrListRec cptInfo;
    DB_Format::EnrListRec ecrInfo;

    // The open stream and the header record; a ConversionError when there is none.
    BinaryStream& stream();
    VLQmkaProVersion& header();
};

} // namespace qmk
