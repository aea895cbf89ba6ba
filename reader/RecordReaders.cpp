// The record regions of a legacy document: currencies, access rights, the chart
// of accounts and the journal. Accounts and journal are read in one block each
// and parsed from memory; a document that ends early fails in the stream.
#include "model/Globals.h"
#include "model/Layout.h"
#include "platform/Errors.h"
#include "platform/MemoryBlock.h"
#include "platform/Worker.h"
#include "reader/Reader.h"

#include <string>

namespace qmk {

namespace Legacy = Layout::Legacy;

namespace {

void readListInfo(BinaryStream& in, int64_t at, DB_Format::EnrListRec& info) {
    in.SetPosition(at);
    info.long1 = in.ReadInt16();
    info.long2 = in.ReadInt16();
    info.long3 = in.ReadInt16();
    info.long4 = in.ReadInt16();
}

} // namespace

void ReadCurrencies(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusCurrencies());
    BinaryStream& in = s.stream();
    in.SetPosition(Legacy::kCurrencies);
    for (size_t i = 1; i < s.currencies.size(); ++i) {
        DB_Format::CatRec& c = s.currencies[i];
        c.long1 = in.ReadUInt32();
        c.short1 = in.ReadInt16();
        c.wide1 = in.ReadInt64();
        c.wide2 = in.ReadInt64();
        c.flag1 = in.ReadBoolean();
        c.flag2 = in.ReadBoolean();
        YieldNow();
    }
}

void QMXReadAccess(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusAccess());
    BinaryStream& in = s.stream();
    if (s.acces.size() < Layout::kAccessCount)
        s.acces.resize(Layout::kAccessCount);
    in.SetPosition(Legacy::kAccess);
    for (size_t i = 0; i < Layout::kAccessCount; ++i) {
        s.acces[i].StringValue(false, in.Read(Legacy::kAccessSize));
        YieldNow();
    }
}

void initAccounts(ConversionDocument& s) {
    s.accounts.resize(Layout::kAccountBound + 1);
    for (int64_t i = 1; i <= Layout::kLastFreeAccount; ++i) {
        DB_Format::setFreeAccountSlot(s.accounts[static_cast<size_t>(i)], i);
        YieldNow();
    }
}

void QMXReadAccounts(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusAccounts());
    BinaryStream& in = s.stream();
    initAccounts(s);
    readListInfo(in, Legacy::kAccountInfo, s.cptInfo);

    in.SetPosition(Legacy::kAccounts);
    MemoryBlock block((Legacy::kAccountLast + 1) * Legacy::kAccountSize);
    block.LittleEndian = false;
    block.SetStringValue(0, in.Read(block.Size()));

    // Slot 0 is never parsed.
    for (size_t i = 1; i <= Legacy::kAccountLast; ++i) {
        const size_t b = Legacy::kAccountSize * i;
        DB_Format::CptRecord& r = s.accounts[i];
        r.recNo = block.Int16Value(b);
        r.prevRec = block.Int16Value(b + 2);
        r.nextRec = block.Int16Value(b + 4);
        r.short1 = block.Int16Value(b + 6);
        r.name = block.StringValue(b + 8, 26);
        r.flag1 = block.BooleanValue(b + 34);
        r.byte1 = block.Byte(b + 35);
        r.CAT = block.StringValue(b + 36, 4);
        r.short2 = block.Int16Value(b + 40);
        r.short3 = block.Int16Value(b + 42);
        r.flag2 = block.BooleanValue(b + 44);
        r.flag3 = block.BooleanValue(b + 45);
        r.wide1 = block.Int64Value(b + 46);
        r.short4 = block.Int16Value(b + 54);
        r.flag4 = block.BooleanValue(b + 56);
        r.byte2 = block.Byte(b + 57);
        for (int k = 0; k < 4; ++k)
            r.boucl(k).StringValue(false, block.StringValue(b + 68 + 4 * k, 4));
        r.res = block.StringValue(b + 84, 44);
        YieldNow();
    }
    // The last document slot leads into the free chain, whatever it stored.
    s.accounts[Legacy::kAccountLast].nextRec = static_cast<int32_t>(Legacy::kAccountLast + 1);
}

void initEcr(ConversionDocument& s, EntryCount n) {
    const int32_t bound = static_cast<int32_t>(n);
    s.ecritures.resize(static_cast<size_t>(bound) + 1);
    for (int32_t i = 1; i <= bound; ++i) {
        DB_Format::setBlankEntry(s.ecritures[static_cast<size_t>(i)], i, bound);
        YieldNow();
    }
}

void QMXReadEcr(ConversionDocument& s, StatusPoster& post, EntryCount n) {
    post.newStatus(Globals::kStatusEcr());
    BinaryStream& in = s.stream();
    initEcr(s, n);
    readListInfo(in, Legacy::kJournalInfo, s.ecrInfo);

    in.SetPosition(Legacy::kJournal);
    MemoryBlock block(Legacy::kEntrySize * static_cast<size_t>(n));
    block.LittleEndian = false;
    block.SetStringValue(0, in.Read(block.Size()));

    for (int64_t i = 1; i <= n; ++i) {
        const size_t b = Legacy::kEntrySize * static_cast<size_t>(i - 1);
        DB_Format::EcrRecord& r = s.ecritures[static_cast<size_t>(i)];
        r.recNo = block.Int16Value(b);
        r.prevRec = block.Int16Value(b + 2);
        r.nextRec = block.Int16Value(b + 4);
        r.long1 = block.UInt32Value(b + 6);
        r.label = block.StringValue(b + 10, 46);
        r.ref = block.StringValue(b + 56, 6);
        r.short1 = block.Int16Value(b + 64);
        r.short2 = block.Int16Value(b + 66);
        r.wide1 = block.Int64Value(b + 68);
        r.byte1 = block.Byte(b + 78);
        r.flag1 = block.BooleanValue(b + 79);
        r.flag2 = block.BooleanValue(b + 80);
        r.flag3 = block.BooleanValue(b + 81);
        YieldNow();
    }
}

} // namespace qmk
