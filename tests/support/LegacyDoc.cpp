#include "support/LegacyDoc.h"

#include <stdexcept>

namespace qmk::test {

namespace {

// Where each view keeps its fields in the Plus / X header; 0 = the view has none.
struct ViewOffsets {
    size_t top, left, height, zoomed, res, firstLine, actLine, actCpte, size;
};

const ViewOffsets& offsetsOf(View v) {
    static const ViewOffsets clip{82, 84, 86, 88, 89, 0, 0, 0, 0};
    static const ViewOffsets plan{90, 92, 94, 96, 97, 98, 100, 0, 254};
    static const ViewOffsets jrnl{102, 104, 106, 108, 109, 110, 112, 0, 256};
    static const ViewOffsets bal{114, 116, 118, 120, 121, 122, 124, 0, 258};
    static const ViewOffsets curr{340, 342, 344, 346, 347, 348, 350, 0, 260};
    static const ViewOffsets extr1{126, 128, 130, 132, 133, 134, 136, 138, 262};
    static const ViewOffsets extr2{240, 242, 244, 246, 247, 248, 250, 252, 264};
    static const ViewOffsets search{266, 268, 270, 0, 0, 0, 0, 0, 272};
    switch (v) {
    case View::clip:
        return clip;
    case View::plan:
        return plan;
    case View::jrnl:
        return jrnl;
    case View::bal:
        return bal;
    case View::curr:
        return curr;
    case View::extr1:
        return extr1;
    case View::extr2:
        return extr2;
    case View::search:
        return search;
    }
    throw std::logic_error("unknown view");
}

size_t need(size_t off, const char* field) {
    if (off == 0)
        throw std::logic_error(std::string("this view has no field ") + field);
    return off;
}

// The text's bytes, cut or padded with zeros to exactly n.
std::string fixed(std::string_view s, size_t n) {
    std::string r(s.substr(0, n));
    r.resize(n, '\0');
    return r;
}

} // namespace

PlusXDoc::PlusXDoc() : LegacyDocBase(129692) {
    version(4000);
}

PlusXDoc& PlusXDoc::maxEcrCount(int v) {
    LegacyDocBase::maxEcrCount(v);
    const int16_t n = static_cast<int16_t>(v);
    if (n > 0 && size() < sizeWithEntries(n))
        resize(sizeWithEntries(n));
    return *this;
}

PlusXDoc& PlusXDoc::wOrdre(std::initializer_list<int> values) {
    if (values.size() > 10)
        throw std::logic_error("wOrdre holds ten values");
    size_t i = 0;
    for (int v : values)
        u16(140 + 2 * i++, v);
    for (; i < 10; ++i)
        u16(140 + 2 * i, 0);
    return *this;
}

PlusXDoc& PlusXDoc::lastBackup(std::string_view text, int nbModifications, uint8_t notSharedDoc) {
    if (text.size() > 255)
        throw std::logic_error("a length-prefixed text holds 255 bytes");
    pstr(354, text);
    u16(355 + text.size(), nbModifications);
    return u8(357 + text.size(), notSharedDoc);
}

PlusXDoc& PlusXDoc::top(View v, int value) {
    return u16(need(offsetsOf(v).top, "top"), value);
}
PlusXDoc& PlusXDoc::left(View v, int value) {
    return u16(need(offsetsOf(v).left, "left"), value);
}
PlusXDoc& PlusXDoc::height(View v, int value) {
    return u16(need(offsetsOf(v).height, "height"), value);
}
PlusXDoc& PlusXDoc::zoomed(View v, uint8_t value) {
    return u8(need(offsetsOf(v).zoomed, "zoomed"), value);
}
PlusXDoc& PlusXDoc::res(View v, uint8_t value) {
    return u8(need(offsetsOf(v).res, "res"), value);
}
PlusXDoc& PlusXDoc::firstLine(View v, int value) {
    return u16(need(offsetsOf(v).firstLine, "1stline"), value);
}
PlusXDoc& PlusXDoc::actLine(View v, int value) {
    return u16(need(offsetsOf(v).actLine, "actLine"), value);
}
PlusXDoc& PlusXDoc::actCpte(View v, int value) {
    return u16(need(offsetsOf(v).actCpte, "actCpte"), value);
}
PlusXDoc& PlusXDoc::size(View v, int value) {
    return u16(need(offsetsOf(v).size, "size"), value);
}

PlusXDoc& PlusXDoc::access(int i, std::string_view bytes42) {
    return raw(accessOffset(i), fixed(bytes42, 42));
}

PlusXDoc& PlusXDoc::accountInfo(int a, int b, int c, int d) {
    return u16(1532, a).u16(1534, b).u16(1536, c).u16(1538, d);
}

PlusXDoc& PlusXDoc::account(int k, const AccountFields& f) {
    if (f.name.size() > 25)
        throw std::logic_error("an account name holds 25 bytes");
    size_t o = accountOffset(k);
    u16(o, f.recNo).u16(o + 2, f.prevRec).u16(o + 4, f.nextRec).u16(o + 6, f.short1);
    raw(o + 8, fixed("", 26)).pstr(o + 8, f.name);
    u8(o + 34, f.flag1).u8(o + 35, f.byte1).raw(o + 36, fixed(f.CAT, 4));
    u16(o + 40, f.short2).u16(o + 42, f.short3).u8(o + 44, f.flag2).u8(o + 45, f.flag3);
    b_.be64(o + 46, static_cast<uint64_t>(f.wide1));
    u16(o + 54, f.short4).u8(o + 56, f.flag4).u8(o + 57, f.byte2);
    raw(o + 58, fixed(f.unused58, 10));
    for (size_t e = 0; e < 4; ++e)
        u16(o + 68 + 4 * e, f.boucl[e][0]).u16(o + 70 + 4 * e, f.boucl[e][1]);
    return raw(o + 84, fixed(f.res, 44));
}

PlusXDoc& PlusXDoc::journalInfo(int a, int b, int c, int d) {
    return u16(129676, a).u16(129678, b).u16(129680, c).u16(129682, d);
}

PlusXDoc& PlusXDoc::journal(int i, const EntryFields& f) {
    if (f.label.size() > 45 || f.ref.size() > 5)
        throw std::logic_error("a journal label holds 45 bytes, a reference 5");
    size_t o = journalOffset(i);
    u16(o, f.recNo).u16(o + 2, f.prevRec).u16(o + 4, f.nextRec);
    b_.be32(o + 6, f.long1);
    raw(o + 10, fixed("", 46)).pstr(o + 10, f.label);
    raw(o + 56, fixed("", 6)).pstr(o + 56, f.ref);
    u16(o + 62, f.unused62).u16(o + 64, f.short1).u16(o + 66, f.short2);
    b_.be64(o + 68, static_cast<uint64_t>(f.wide1));
    u16(o + 76, f.unused76).u8(o + 78, f.byte1);
    return u8(o + 79, f.flag1).u8(o + 80, f.flag2).u8(o + 81, f.flag3);
}

Doc32::Doc32() : LegacyDocBase(1256) {
    version(3200);
}

} // namespace qmk::test
