// The edition drivers: the phases of a Plus / X or 3.2 read, in order, with the
// worker's pauses between them. Once the header is read, the document's length is
// checked against what the regions take, so a short one fails before any pause;
// a header cut short has failed already, in the stream, where it stopped.
#include "model/Globals.h"
#include "model/Layout.h"
#include "platform/Errors.h"
#include "platform/Worker.h"
#include "reader/Reader.h"

namespace qmk {

void ReadQuillmarkXDoc(ConversionDocument& s, StatusPoster& post) {
    post.setTitle("Conversion depuis Quillmark Plus / Quillmark X");
    VLQmkaProVersion& h = s.header();
    h.version = static_cast<int16_t>(Globals::getDBVersion(s.version == 4001));
    QMXreadQmkaVrs(s, post);
    // A negative count refuses the file before any other phase runs, and so does
    // a document that ends before its last journal record.
    const EntryCount entries(h.maxEcrCount);
    s.stream().RequireLength(static_cast<int64_t>(
        Layout::Legacy::plusXDocumentSize(static_cast<size_t>(entries.value()))));
    Pause(250);
    ReadCurrencies(s, post);
    Pause(250);
    QMXReadAccess(s, post);
    Pause(250);
    QMXReadAccounts(s, post);
    Pause(300);
    QMXReadEcr(s, post, entries);
    Pause(500);
}

void ReadQuillmark32Doc(ConversionDocument& s, StatusPoster& post) {
    post.setTitle("Conversion depuis Quillmark 3.2");
    VLQmkaProVersion& h = s.header();
    h.version = static_cast<int16_t>(Globals::getDBVersion(s.version == 3201));
    QM32readQmkaVrs(s, post);
    const EntryCount entries(h.maxEcrCount);
    (void)entries; // only the refusal matters here: the 3.2 road reads no journal
    s.stream().RequireLength(static_cast<int64_t>(Layout::Legacy::kDoc32Size));
    Pause(500);
    ReadCurrencies(s, post);
    Pause(250);
}

} // namespace qmk
