// The record regions of the Pro document: each record is copied into one buffer
// that the region's records share, patched in a few bytes, written and flushed.
#include "writer/Writer.h"

#include "model/Layout.h"
#include "platform/Errors.h"
#include "platform/Worker.h"

namespace qmk {

using DB_Format::CatRec;
using DB_Format::CptRecord;
using DB_Format::EcrRecord;
namespace Pro = Layout::Pro;

namespace {

// Slot k of an account region that no reader filled: slot 0 empty, the others
// free slots chained one to the next, as the account reader leaves them.
CptRecord blankAccount(size_t k) {
    CptRecord r;
    if (k > 0)
        DB_Format::setFreeAccountSlot(r, static_cast<int64_t>(k));
    return r;
}

// The big-endian image of the record, in place of what `block` held.
template <typename Rec> MemoryBlock& imageOf(const Rec& r, MemoryBlock& block) {
    if (block.Size() != sizeof(Rec))
        block = MemoryBlock(sizeof(Rec));
    r.CopyImage(false, block.data());
    return block;
}

} // namespace

void saveCurrencies(ConversionDocument& s) {
    s.stream().SetPosition(Pro::kCurrencies);
    MemoryBlock block;
    for (size_t i = 1; i <= Layout::kCurrencyLast; ++i) {
        const CatRec blank;
        const CatRec& rec = i < s.currencies.size() ? s.currencies[i] : blank;
        imageOf(rec, block);
        if (Pro::fitsLow32(rec.wide1))
            Pro::clearHigh32(block, Pro::kCurrencyWide1);
        if (Pro::fitsLow32(rec.wide2))
            Pro::clearHigh32(block, Pro::kCurrencyWide2);
        SaveBlock(s, block);
        YieldNow();
    }
}

void saveAccess(ConversionDocument& s) {
    s.stream().SetPosition(Pro::kAccess);
    MemoryBlock block;
    for (size_t i = 0; i < Layout::kAccessCount; ++i) {
        const DB_Format::AccessRec rec = i < s.acces.size() ? s.acces[i] : DB_Format::AccessRec{};
        SaveBlock(s, imageOf(rec, block));
        YieldNow();
    }
}

void saveAccounts(ConversionDocument& s) {
    s.stream().SetPosition(Pro::kAccountInfo);
    MemoryBlock info;
    SaveBlock(s, imageOf(s.cptInfo, info));
    MemoryBlock block;
    for (size_t k = 0; k <= Pro::kAccountLast; ++k) {
        if (k < s.accounts.size())
            imageOf(s.accounts[k], block);
        else
            imageOf(blankAccount(k), block);
        Pro::clearHigh32(block, Pro::kAccountWide1); // whatever its value
        SaveBlock(s, block);
        YieldNow();
    }
}

void saveEcr(ConversionDocument& s) {
    const VLQmkaProVersion& h = s.header();
    s.stream().SetPosition(Pro::kJournalInfo);
    // A failed write throws before SaveBlock returns, so this never stops the
    // journal; it stays because the format's writer tests that one code.
    MemoryBlock info;
    if (SaveBlock(s, imageOf(s.ecrInfo, info)) != 0)
        return;
    MemoryBlock block;
    for (int64_t i = 1; i <= h.maxEcrCount; ++i) {
        const auto at = static_cast<size_t>(i);
        const bool held = at < s.ecritures.size();
        EcrRecord blank;
        if (held)
            s.ecritures[at].long2 = 0;
        else
            DB_Format::setBlankEntry(blank, i, h.maxEcrCount);
        const EcrRecord& rec = held ? s.ecritures[at] : blank;
        imageOf(rec, block);
        if (Pro::fitsLow32(rec.wide1))
            block.SetUInt8Value(Pro::kEntryByte1, 0);
        SaveBlock(s, block);
        YieldNow();
    }
}

} // namespace qmk
