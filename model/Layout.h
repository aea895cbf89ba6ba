// The layouts of the two documents: where each region lies in a legacy document (Plus / X and
// 3.2) and in a Pro document, how large its records are, where the Pro header's fields go, and
// which bytes of a record image the Pro writer patches.
//
// A Pro record size is the size of its structure and a patch offset the offset of the field it
// patches, so the layout follows DB_Format; the decimal offsets are checked below against the
// figures of the format. Offsets are bytes from the start of the document (regions) or of the
// record image (patches); every multi-byte number of both documents is big-endian.
#pragma once

#include "model/DB_Format.h"
#include "platform/MemoryBlock.h"

#include <cstddef>
#include <cstdint>

namespace qmk::Layout {

// --- Record counts ---------------------------------------------------------------------------

// Currencies 0..31: 1..31 are read and written, 0 never.
inline constexpr size_t kCurrencyLast = 31;
// Access rights 0..5.
inline constexpr size_t kAccessCount = 6;
// The free account slots that follow the document's, chained one to the next up to this one.
inline constexpr int64_t kLastFreeAccount = 10001;
// Accounts 0..10002 after a Plus / X read.
inline constexpr size_t kAccountBound = 10002;

// --- Legacy document -------------------------------------------------------------------------

namespace Legacy {

inline constexpr size_t kVersionWord = 0; // signed 16-bit
inline constexpr size_t kHeader = 2;      // the header fields; the 3.2 header too

// The legacy currency record is the Pro record's big-endian image.
inline constexpr size_t kCurrencies = 512;
inline constexpr size_t kCurrencySize = sizeof(DB_Format::CatRec);
// And the access-right record is AccessRec's.
inline constexpr size_t kAccess = kCurrencies + (kCurrencyLast + 1) * kCurrencySize;
inline constexpr size_t kAccessSize = sizeof(DB_Format::AccessRec);

// List information: four signed 16-bit integers, then 8 bytes not read.
inline constexpr size_t kAccountInfo = kAccess + kAccessCount * kAccessSize;
inline constexpr size_t kListInfoSize = 16;

// Account slots 0..1000 (slot 0 is never parsed), of a layout of their own.
inline constexpr size_t kAccounts = kAccountInfo + kListInfoSize;
inline constexpr size_t kAccountSize = 128;
inline constexpr size_t kAccountLast = 1000;

inline constexpr size_t kJournalInfo = kAccounts + (kAccountLast + 1) * kAccountSize;
// Journal records 1..maxEcrCount, of a layout of their own.
inline constexpr size_t kJournal = kJournalInfo + kListInfoSize;
inline constexpr size_t kEntrySize = 82;

// What each edition's reader takes: a 3.2 document up to the end of its currencies, a Plus / X
// document up to the end of its last journal record.
inline constexpr size_t kDoc32Size = kCurrencies + kCurrencyLast * kCurrencySize;
constexpr size_t plusXDocumentSize(size_t n) {
    return kJournal + n * kEntrySize;
}

static_assert(kCurrencies == 512 && kAccess == 1280 && kAccountInfo == 1532);
static_assert(kAccounts == 1548 && kJournalInfo == 129676 && kJournal == 129692);
static_assert(kCurrencySize == 24 && kAccessSize == 42);
static_assert(kDoc32Size == 1256 && plusXDocumentSize(1) == 129774);

} // namespace Legacy

// --- Pro document ----------------------------------------------------------------------------

namespace Pro {

inline constexpr size_t kHeader = 0;
inline constexpr size_t kHeaderSize = 512;

// 32 currency slots; the 32nd is never written and stays zero.
inline constexpr size_t kCurrencies = kHeader + kHeaderSize;
inline constexpr size_t kCurrencySize = sizeof(DB_Format::CatRec);
inline constexpr size_t kAccess = kCurrencies + (kCurrencyLast + 1) * kCurrencySize;
inline constexpr size_t kAccessSize = sizeof(DB_Format::AccessRec);
inline constexpr size_t kAccountInfo = kAccess + kAccessCount * kAccessSize;
inline constexpr size_t kListInfoSize = sizeof(DB_Format::EnrListRec);
// Account slots 0..1001: one more than a legacy document holds.
inline constexpr size_t kAccounts = kAccountInfo + kListInfoSize;
inline constexpr size_t kAccountSize = sizeof(DB_Format::CptRecord);
inline constexpr size_t kAccountLast = 1001;
inline constexpr size_t kJournalInfo = kAccounts + (kAccountLast + 1) * kAccountSize;
// Journal records 1..maxEcrCount, directly after the journal's list information.
inline constexpr size_t kJournal = kJournalInfo + kListInfoSize;
inline constexpr size_t kEntrySize = sizeof(DB_Format::EcrRecord);

static_assert(kCurrencies == 512 && kAccess == 1280 && kAccountInfo == 1532);
static_assert(kAccounts == 1548 && kJournalInfo == 129804 && kJournal == 129820);
static_assert(kCurrencySize == 24 && kAccessSize == 42 && kListInfoSize == 16);
static_assert(kAccountSize == 128 && kEntrySize == 128);

// Where record i of a region lies.
constexpr size_t currencyAt(size_t i) { // i = 1..31
    return kCurrencies + (i - 1) * kCurrencySize;
}
constexpr size_t accessAt(size_t i) { // i = 0..5
    return kAccess + i * kAccessSize;
}
constexpr size_t accountAt(size_t k) { // k = 0..1001
    return kAccounts + k * kAccountSize;
}
constexpr size_t entryAt(size_t i) { // i = 1..maxEcrCount
    return kJournal + (i - 1) * kEntrySize;
}
// The length of a document with n journal records.
constexpr size_t documentSize(size_t n) {
    return kJournal + n * kEntrySize;
}

// The header: the fields before which the writer sets the position; the others follow the
// previous field directly.
namespace Header {
inline constexpr size_t kVersionWord = 0;
inline constexpr size_t kSerialNb = 2;
inline constexpr size_t kCoded = 6;
inline constexpr size_t kUntilLine = 7;
inline constexpr size_t kMaxCptCount = 8;
inline constexpr size_t kMaxEcrCount = 10;
inline constexpr size_t kDigCount = 14;
// One byte each for the decimal point, the thousands separator, int0, frac0 and the date
// separator; the byte after each stays zero.
inline constexpr size_t kSigns[] = {16, 18, 20, 22, 24};
inline constexpr size_t kTitre = 26;
// jrnl_libelSize, then the options, switches and colour that follow it directly.
inline constexpr size_t kJrnlLibelSize = 68;
inline constexpr size_t kDocColor = 88; // no length byte, right after showBCLT
inline constexpr size_t kPlanView = 128;
inline constexpr size_t kJrnlView = 146;
inline constexpr size_t kBalView = 164;
inline constexpr size_t kExtr1View = 182;
inline constexpr size_t kExtr2View = 200;
inline constexpr size_t kSearchView = 218;
inline constexpr size_t kCurrenciesView = 236;
inline constexpr size_t kOrder = 254;
inline constexpr size_t kPrintTitle = 380;
inline constexpr size_t kMerloFont = 456;
inline constexpr size_t kLastBackup = 460; // then nbModifications, directly

// What every Pro header begins with, whatever edition the source came from.
inline constexpr int16_t kVersion = 6200;
// The currency count: the upper bound of the currencies.
inline constexpr int16_t kCurrencyCount = kCurrencyLast;
// The entries of wOrdre written, from kOrder on.
inline constexpr size_t kOrderEntries = 10;

// Rooms of the texts: what fits before the next positioned field.
inline constexpr size_t kTitreRoom = kJrnlLibelSize - (kTitre + 1);
inline constexpr size_t kDocColorRoom = kPlanView - kDocColor;
inline constexpr size_t kPrintTitleRoom = kMerloFont - (kPrintTitle + 1);
inline constexpr size_t kLastBackupRoom = 6; // a six-digit date
static_assert(kTitreRoom == 41 && kDocColorRoom == 40 && kPrintTitleRoom == 75);
static_assert(kLastBackup + 1 + kLastBackupRoom + 2 <= kHeaderSize);
} // namespace Header

// --- Patches of the record images --------------------------------------------------------------

// A currency's wide1 and wide2, and an account's wide1: in the big-endian image their first four
// bytes are the high half, which the writer clears when the value fits below 2^32.
inline constexpr size_t kCurrencyWide1 = offsetof(DB_Format::CatRec, wide1);
inline constexpr size_t kCurrencyWide2 = offsetof(DB_Format::CatRec, wide2);
inline constexpr size_t kAccountWide1 = offsetof(DB_Format::CptRecord, wide1);
// A journal record's byte1, cleared when its wide1 fits below 2^32.
inline constexpr size_t kEntryByte1 = offsetof(DB_Format::EcrRecord, byte1);
static_assert(kCurrencyWide1 == 6 && kCurrencyWide2 == 14 && kAccountWide1 == 68);
static_assert(kEntryByte1 == 100);

// True for a value the writer stores as its low 32 bits: at most 2^32 - 1, negative included.
constexpr bool fitsLow32(int64_t v) {
    return v <= 4294967295LL;
}
// Clears the high half of the big-endian 64-bit field at `field` of a record image.
inline void clearHigh32(MemoryBlock& image, size_t field) {
    image.SetUInt32Value(field, 0);
}

} // namespace Pro

} // namespace qmk::Layout
