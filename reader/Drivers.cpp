// The edition drivers: the phases of a Plus / X or 3.2 read, in order, with the
// worker's pauses between them.
#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/Worker.h"
#include "reader/Reader.h"

#include <string>

namespace qmk {

namespace {

// A journal count read as negative (a header value of 32768 or more) would size
// the Plus / X journal below nothing and give the Pro header a count of four
// billion records: the file is refused before any other phase runs.
void refuseNegativeEntryCount(const VLQmkaProVersion& h) {
    if (h.maxEcrCount < 0)
        throw ConversionError(Globals::kNegativeEcrCount() + std::to_string(h.maxEcrCount));
}

} // namespace

void ReadQuillmarkXDoc(ConversionState& s) {
    s.setTitle("Conversion depuis Quillmark Plus / Quillmark X");
    VLQmkaProVersion& h = s.header();
    h.version = static_cast<int16_t>(Globals::getDBVersion(s.version == 4001));
    QMXreadQmkaVrs(s);
    refuseNegativeEntryCount(h);
    Pause(250);
    ReadCurrencies(s);
    Pause(250);
    QMXReadAccess(s);
    Pause(250);
    QMXReadAccounts(s);
    Pause(300);
    QMXReadEcr(s, h.maxEcrCount);
    Pause(500);
}

void ReadQuillmark32Doc(ConversionState& s) {
    s.setTitle("Conversion depuis Quillmark 3.2");
    VLQmkaProVersion& h = s.header();
    h.version = static_cast<int16_t>(Globals::getDBVersion(s.version == 3201));
    QM32readQmkaVrs(s);
    refuseNegativeEntryCount(h);
    Pause(500);
    ReadCurrencies(s);
    Pause(250);
}

} // namespace qmk
