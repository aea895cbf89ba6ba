// Test fixtures: legacy documents (Plus / X and 3.2) built from field values.
//
// The offsets below are this fixture's own, taken from the legacy layout tables;
// they deliberately share nothing with the reader, so a wrong offset in either
// shows up as a failing test.
//
// Every setter writes its bytes into the image at once; where two writes overlap
// (a title longer than its room, say) the later one wins. Numbers are written
// big-endian, keeping the low bytes of the value given, so a test can pass -1 or
// 0xFFFF alike for the bytes FF FF. Booleans take the raw byte (any value).
//
//   PlusXDoc doc;                       // version word 4000, all fields zero
//   doc.maxEcrCount(2).titre("Compta").size(View::plan, 12)
//      .account(1, {.recNo = 1, .name = "Banque"})
//      .journal(1, {.recNo = 1, .label = "Ouverture"});
//   std::string image = doc.bytes();    // or doc.truncated(300), cut short
#pragma once

#include "support/Bytes.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qmk::test {

// The views whose geometry the Plus / X header keeps.
enum class View { clip, plan, jrnl, bal, curr, extr1, extr2, search };

// One legacy currency record (24 bytes).
struct CurrencyFields {
    uint32_t long1 = 0;
    int16_t short1 = 0;
    int64_t wide1 = 0;
    int64_t wide2 = 0;
    uint8_t flag1 = 0;
    uint8_t flag2 = 0;
};

// One legacy account slot (128 bytes). `name` is written as a length byte and the
// text (at most 25 bytes fit before the next field); `res` as up to 44 raw bytes;
// `unused58` as up to 10 raw bytes in the slot's unused run.
struct AccountFields {
    int16_t recNo = 0;
    int16_t prevRec = 0;
    int16_t nextRec = 0;
    int16_t short1 = 0;
    std::string name = {};
    uint8_t flag1 = 0;
    uint8_t byte1 = 0;
    std::string CAT = std::string(4, '\0'); // four raw bytes
    int16_t short2 = 0;
    int16_t short3 = 0;
    uint8_t flag2 = 0;
    uint8_t flag3 = 0;
    int64_t wide1 = 0;
    int16_t short4 = 0;
    uint8_t flag4 = 0;
    uint8_t byte2 = 0;
    std::string unused58 = {};
    std::array<std::array<int16_t, 2>, 4> boucl = {};
    std::string res = {};
};

// One legacy journal record (82 bytes). `label` and `ref` are written as a length
// byte and the text (45 and 5 bytes of room).
struct EntryFields {
    int16_t recNo = 0;
    int16_t prevRec = 0;
    int16_t nextRec = 0;
    uint32_t long1 = 0;
    std::string label = {};
    std::string ref = {};
    int16_t unused62 = 0;
    int16_t short1 = 0;
    int16_t short2 = 0;
    int64_t wide1 = 0;
    int16_t unused76 = 0;
    uint8_t byte1 = 0;
    uint8_t flag1 = 0;
    uint8_t flag2 = 0;
    uint8_t flag3 = 0;
};

// What both editions share: the version word, the header block at 2..71 and the
// currencies at 512. D is the concrete document, so that setters chain.
template <typename D> class LegacyDocBase {
  public:
    // Header block 2..71, the same in both editions.
    D& version(int v) { return u16(0, v); }
    D& serialNb(int64_t v) {
        b_.be32(2, static_cast<uint32_t>(v));
        return self();
    }
    D& coded(uint8_t v) { return u8(6, v); }
    D& untilLine(uint8_t v) { return u8(7, v); }
    D& maxEcrCount(int v) { return u16(8, v); } // raw 16 bits: 0x8000 is -32768
    D& digCount(int v) { return u16(10, v); }
    D& decPtSign(uint8_t c) { return u8(13, c); }
    D& thSepSign(uint8_t c) { return u8(15, c); }
    D& int0Sign(uint8_t c) { return u8(17, c); }
    D& frac0Sign(uint8_t c) { return u8(19, c); }
    D& dtSepSign(uint8_t c) { return u8(21, c); }
    // A length byte at 24, then the text (41 bytes of room; longer runs on).
    D& titre(std::string_view text) { return pstr(24, text); }
    D& lingua(int v) { return u16(66, v); }
    D& docOpenFlag(uint8_t v) { return u8(68, v); }
    D& bouclDef(int v) { return u16(70, v); }

    // Currency record i (1..31) at 512 + 24 (i - 1).
    D& currency(int i, const CurrencyFields& c) {
        size_t o = currencyOffset(i);
        b_.be32(o, c.long1);
        b_.be16(o + 4, static_cast<uint16_t>(c.short1));
        b_.be64(o + 6, static_cast<uint64_t>(c.wide1));
        b_.be64(o + 14, static_cast<uint64_t>(c.wide2));
        b_.u8(o + 22, c.flag1);
        b_.u8(o + 23, c.flag2);
        return self();
    }
    static size_t currencyOffset(int i) { return 512 + 24 * static_cast<size_t>(i - 1); }

    // Raw access, for bytes that no field names (skipped runs, odd length bytes).
    D& u8(size_t off, uint8_t v) {
        b_.u8(off, v);
        return self();
    }
    D& u16(size_t off, int v) {
        b_.be16(off, static_cast<uint16_t>(v));
        return self();
    }
    D& raw(size_t off, std::string_view bytes) {
        b_.raw(off, bytes);
        return self();
    }
    D& pstr(size_t off, std::string_view text) {
        b_.pstr(off, text);
        return self();
    }
    // Grows (with zeros) or cuts the image to n bytes.
    D& resize(size_t n) {
        b_.resize(n);
        return self();
    }

    const std::string& bytes() const { return b_.str(); }
    // The first n bytes of the image (all of it when shorter).
    std::string truncated(size_t n) const { return b_.str().substr(0, n); }
    size_t size() const { return b_.size(); }

  protected:
    explicit LegacyDocBase(size_t size) : b_(size) {}
    D& self() { return static_cast<D&>(*this); }
    Bytes b_;
};

// A Plus / X document: header, currencies, access rights, accounts and journal.
// A new one is 129692 bytes (everything up to the first journal record), all
// zero but the version word 4000; maxEcrCount() and journal() grow it. A
// shorter document is made with truncated() or resize().
class PlusXDoc : public LegacyDocBase<PlusXDoc> {
  public:
    PlusXDoc();

    // The journal count at 8. A count above 0 (as a signed 16-bit value) grows
    // the image to hold that many records, so the document is complete: the
    // reader refuses one that ends before its last record.
    PlusXDoc& maxEcrCount(int v);

    // Header fields from 72 on.
    PlusXDoc& catNb(int v) { return u16(72, v); }
    PlusXDoc& change(uint8_t v) { return u8(74, v); }
    PlusXDoc& changePropose(uint8_t v) { return u8(75, v); }
    PlusXDoc& ignoreChange(uint8_t v) { return u8(76, v); }
    PlusXDoc& ignoreTVA(uint8_t v) { return u8(78, v); }
    PlusXDoc& TVA(uint8_t v) { return u8(79, v); }
    PlusXDoc& TVAControl(int v) { return u16(80, v); }
    // The ten 16-bit values at 140..159; missing ones are written as 0.
    PlusXDoc& wOrdre(std::initializer_list<int> values);
    // A length byte at 160, then the text (75 bytes of room; longer runs on).
    PlusXDoc& printTitle(std::string_view text) { return pstr(160, text); }
    PlusXDoc& merloFont(uint8_t v) { return u8(236, v); }
    PlusXDoc& res2(uint8_t v) { return u8(237, v); }
    PlusXDoc& res3(int v) { return u16(238, v); }
    PlusXDoc& mypPatNo(int v) { return u16(352, v); }
    // The backup date text (length byte L at 354, text from 355) and the two
    // fields that follow it directly: nbModifications at 355 + L, notSharedDoc at
    // 357 + L.
    PlusXDoc& lastBackup(std::string_view text, int nbModifications = 0, uint8_t notSharedDoc = 0);

    // View geometry. Asking a view for a field it does not have throws
    // std::logic_error (the clip view, for one, keeps no size).
    PlusXDoc& top(View v, int value);
    PlusXDoc& left(View v, int value);
    PlusXDoc& height(View v, int value);
    PlusXDoc& zoomed(View v, uint8_t value);
    PlusXDoc& res(View v, uint8_t value);
    PlusXDoc& firstLine(View v, int value);
    PlusXDoc& actLine(View v, int value);
    PlusXDoc& actCpte(View v, int value);
    PlusXDoc& size(View v, int value);
    using LegacyDocBase::size; // the image size

    // Access-right record i (0..5) at 1280 + 42 i: the 42 bytes as given (fewer
    // are padded with zeros).
    PlusXDoc& access(int i, std::string_view bytes42);
    static size_t accessOffset(int i) { return 1280 + 42 * static_cast<size_t>(i); }

    // Account list information: four 16-bit values at 1532.
    PlusXDoc& accountInfo(int a, int b, int c, int d);
    // Account slot k (0..1000) at 1548 + 128 k.
    PlusXDoc& account(int k, const AccountFields& f);
    static size_t accountOffset(int k) { return 1548 + 128 * static_cast<size_t>(k); }

    // Journal list information: four 16-bit values at 129676.
    PlusXDoc& journalInfo(int a, int b, int c, int d);
    // Journal record i (1..n) at 129692 + 82 (i - 1); grows the image to hold it.
    PlusXDoc& journal(int i, const EntryFields& f);
    static size_t journalOffset(int i) { return 129692 + 82 * static_cast<size_t>(i - 1); }
    // The size of a document with n journal records and nothing after them.
    static size_t sizeWithEntries(int n) { return 129692 + 82 * static_cast<size_t>(n); }
};

// A 3.2 document: the header block at 2..71, the print title at 114 and the
// currencies at 512. A new one is 1256 bytes (up to the end of the currencies),
// all zero but the version word 3200.
class Doc32 : public LegacyDocBase<Doc32> {
  public:
    Doc32();
    // A length byte at 114, then the text.
    Doc32& printTitle(std::string_view text) { return pstr(114, text); }
};

} // namespace qmk::test
