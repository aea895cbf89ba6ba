// The record regions of the Pro document: each record is copied into a buffer
// of its own, patched in a few bytes, written and flushed.
#include "writer/Writer.h"

#include "reader/Reader.h"

#include "platform/Errors.h"
#include "platform/Worker.h"

namespace qmk {

using DB_Format::CatRec;
using DB_Format::CptRecord;
using DB_Format::EcrRecord;

namespace {

constexpr int64_t kCurrencyStart = 512;
constexpr size_t kCurrencyLast = 31;
constexpr int64_t kAccessStart = 1280;
constexpr size_t kAccessLast = 5;
constexpr int64_t kAccountInfoStart = 1532;
constexpr size_t kAccountLast = 1001;
constexpr int64_t kJournalInfoStart = 129804;
// A field at most this large keeps only its low 32 bits in the written image.
constexpr int64_t kMax32 = 4294967295LL;

// Slot k of an account region that no reader filled: slot 0 empty, the others
// free slots chained one to the next, as the account reader leaves them.
CptRecord blankAccount(size_t k) {
    CptRecord r;
    if (k > 0)
        setFreeAccountSlot(r, static_cast<int64_t>(k));
    return r;
}

template <typename Rec> MemoryBlock imageOf(const Rec& r) {
    return MemoryBlock::FromBytes(r.StringValue(false));
}

} // namespace

void saveCurrencies(ConversionDocument& s) {
    s.stream().SetPosition(kCurrencyStart);
    for (size_t i = 1; i <= kCurrencyLast; ++i) {
        const CatRec blank;
        const CatRec& rec = i < s.currencies.size() ? s.currencies[i] : blank;
        MemoryBlock block = imageOf(rec);
        if (rec.wide1 <= kMax32)
            block.SetInt32Value(6, 0);
        if (rec.wide2 <= kMax32)
            block.SetInt32Value(14, 0);
        SaveBlock(s, block);
        YieldNow();
    }
}

void saveAccess(ConversionDocument& s) {
    s.stream().SetPosition(kAccessStart);
    for (size_t i = 0; i <= kAccessLast; ++i) {
        const DB_Format::AccessRec rec = i < s.acces.size() ? s.acces[i] : DB_Format::AccessRec{};
        SaveBlock(s, imageOf(rec));
        YieldNow();
    }
}

void saveAccounts(ConversionDocument& s) {
    s.stream().SetPosition(kAccountInfoStart);
    SaveBlock(s, imageOf(s.cptInfo));
    for (size_t k = 0; k <= kAccountLast; ++k) {
        MemoryBlock block =
            k < s.accounts.size() ? imageOf(s.accounts[k]) : imageOf(blankAccount(k));
        block.SetInt32Value(68, 0);
        SaveBlock(s, block);
        YieldNow();
    }
}

void saveEcr(ConversionDocument& s) {
    const VLQmkaProVersion& h = s.header();
    s.stream().SetPosition(kJournalInfoStart);
    // A failed write throws before SaveBlock returns, so this never stops the
    // journal; it stays because the format's writer tests that one code.
    if (SaveBlock(s, imageOf(s.ecrInfo)) != 0)
        return;
    for (int64_t i = 1; i <= h.maxEcrCount; ++i) {
        const auto at = static_cast<size_t>(i);
        const bool held = at < s.ecritures.size();
        EcrRecord blank;
        if (held)
            s.ecritures[at].long2 = 0;
        else
            setBlankEntry(blank, i, h.maxEcrCount);
        const EcrRecord& rec = held ? s.ecritures[at] : blank;
        MemoryBlock block = imageOf(rec);
        if (rec.wide1 <= kMax32)
            block.SetUInt8Value(100, 0);
        SaveBlock(s, block);
        YieldNow();
    }
}

} // namespace qmk
