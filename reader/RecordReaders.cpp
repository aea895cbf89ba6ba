// The record regions of a legacy document: currencies, access rights, the chart
// of accounts and the journal. Accounts and journal are read in one block each
// and parsed from memory; a document that ends early reads as zeros.
#include "model/Globals.h"
#include "model/Utils.h"
#include "platform/Errors.h"
#include "platform/MemoryBlock.h"
#include "platform/Worker.h"
#include "reader/Reader.h"

#include <string>

namespace qmk {

namespace {

constexpr int64_t kCurrenciesAt = 512;
constexpr int64_t kAccessAt = 1280;
constexpr int kAccessCount = 6;
constexpr size_t kAccessSize = 42;

constexpr int64_t kAccountInfoAt = 1532;
constexpr int64_t kAccountsAt = 1548;
constexpr int kLegacyAccounts = 1000; // slots 1..1000; slot 0 is never parsed
constexpr size_t kAccountSlot = 128;
constexpr int kLastFreeAccount = 10001;
constexpr size_t kAccountBound = 10002;

constexpr int64_t kJournalInfoAt = 129676;
constexpr int64_t kJournalAt = 129692;
constexpr size_t kEntrySize = 82;

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
    in.SetPosition(kCurrenciesAt);
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
    if (s.acces.size() < kAccessCount)
        s.acces.resize(kAccessCount);
    in.SetPosition(kAccessAt);
    for (int i = 0; i < kAccessCount; ++i) {
        s.acces[i].StringValue(false, in.Read(kAccessSize));
        YieldNow();
    }
}

void setFreeAccountSlot(DB_Format::CptRecord& r, int64_t i) {
    static const std::string blank = Utils::PString(String(std::string(30, ' ')), 30).bytes;
    r.recNo = static_cast<int32_t>(i);
    r.prevRec = static_cast<int32_t>(i - 1);
    r.nextRec = i == kLastFreeAccount ? 0 : static_cast<int32_t>(i + 1);
    r.short1 = 0;
    r.name = blank;
    r.wide1 = -1;
    r.CAT = "    ";
}

void initAccounts(ConversionDocument& s) {
    s.accounts.resize(kAccountBound + 1);
    for (int i = 1; i <= kLastFreeAccount; ++i) {
        setFreeAccountSlot(s.accounts[i], i);
        YieldNow();
    }
}

void QMXReadAccounts(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusAccounts());
    BinaryStream& in = s.stream();
    initAccounts(s);
    readListInfo(in, kAccountInfoAt, s.cptInfo);

    in.SetPosition(kAccountsAt);
    MemoryBlock block((kLegacyAccounts + 1) * kAccountSlot);
    block.LittleEndian = false;
    block.SetStringValue(0, in.Read(block.Size()));

    for (int i = 1; i <= kLegacyAccounts; ++i) {
        const size_t b = kAccountSlot * static_cast<size_t>(i);
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
    s.accounts[kLegacyAccounts].nextRec = kLegacyAccounts + 1;
}

void setBlankEntry(DB_Format::EcrRecord& r, int64_t i, int64_t n) {
    static const std::string label = Utils::PString(String(std::string(63, ' ')), 63).bytes;
    static const std::string ref = Utils::PString(String(std::string(7, ' ')), 6).bytes + " ";
    r.recNo = static_cast<int32_t>(i);
    r.prevRec = static_cast<int32_t>(i - 1);
    r.nextRec = i == n ? 0 : static_cast<int32_t>(i + 1);
    r.long1 = 0;
    r.label = label;
    r.ref = ref;
    r.short1 = 0;
    r.short2 = 0;
    r.wide1 = 0;
    r.byte1 = 0;
    r.flag1 = false;
    r.flag2 = false;
    r.flag3 = false;
}

void initEcr(ConversionDocument& s, EntryCount n) {
    const int32_t bound = static_cast<int32_t>(n);
    s.ecritures.resize(static_cast<size_t>(bound) + 1);
    for (int32_t i = 1; i <= bound; ++i) {
        setBlankEntry(s.ecritures[static_cast<size_t>(i)], i, bound);
        YieldNow();
    }
}

void QMXReadEcr(ConversionDocument& s, StatusPoster& post, EntryCount n) {
    post.newStatus(Globals::kStatusEcr());
    BinaryStream& in = s.stream();
    initEcr(s, n);
    readListInfo(in, kJournalInfoAt, s.ecrInfo);

    in.SetPosition(kJournalAt);
    MemoryBlock block(kEntrySize * static_cast<size_t>(n));
    block.LittleEndian = false;
    block.SetStringValue(0, in.Read(block.Size()));

    for (int64_t i = 1; i <= n; ++i) {
        const size_t b = kEntrySize * static_cast<size_t>(i - 1);
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
