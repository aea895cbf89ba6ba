// The 512-byte header of the Pro document, written field by field.
#include "writer/Writer.h"

#include "platform/Errors.h"
#include "platform/Worker.h"

namespace qmk {

namespace {

// The header always begins with this word; Pro readers accept it whatever
// edition the source came from.
constexpr int16_t kProVersionWord = 6200;
// The writer always writes currency slots 1 to 31 (the array's upper bound).
constexpr int16_t kCurrencyCount = 31;
// Rooms of the texts: what fits before the next positioned field.
constexpr size_t kTitreRoom = 41;
constexpr size_t kDocColorRoom = 40;
constexpr size_t kPrintTitleRoom = 75;
constexpr size_t kLastBackupRoom = 6;
constexpr size_t kOrdreEntries = 10;

// A text cut to its room, so it never runs into the field that follows it.
String cut(const String& s, size_t room) {
    if (s.bytes.size() <= room)
        return s;
    return String(s.bytes.substr(0, room), s.encoding);
}

int8_t signByte(const String& sign) {
    return static_cast<int8_t>(Asc(sign) & 0xFF);
}

int16_t low16(int64_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}
uint16_t ulow16(int64_t v) {
    return static_cast<uint16_t>(v);
}
int32_t low32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}
uint32_t ulow32(int64_t v) {
    return static_cast<uint32_t>(v);
}
uint8_t low8(int64_t v) {
    return static_cast<uint8_t>(v);
}

} // namespace

void saveQmkaVrs(ConversionDocument& s, BinaryStream& out) {
    const VLQmkaProVersion& h = s.header();

    out.SetPosition(0);
    out.WriteInt16(kProVersionWord);
    out.SetPosition(2);
    out.WriteInt32(low32(h.serialNb));
    out.SetPosition(6);
    out.WriteBoolean(h.coded);
    out.SetPosition(7);
    out.WriteBoolean(h.untilLine);
    out.SetPosition(8);
    out.WriteUInt16(ulow16(h.maxCptCount));
    out.SetPosition(10);
    out.WriteUInt32(ulow32(h.maxEcrCount));
    out.SetPosition(14);
    out.WriteInt16(low16(h.digCount));

    // One byte each; the byte after each sign stays zero.
    out.SetPosition(16);
    out.WriteInt8(signByte(h.decPtSign));
    out.SetPosition(18);
    out.WriteInt8(signByte(h.thSepSign));
    out.SetPosition(20);
    out.WriteInt8(signByte(h.int0Sign));
    out.SetPosition(22);
    out.WriteInt8(signByte(h.frac0Sign));
    out.SetPosition(24);
    out.WriteInt8(signByte(h.dtSepSign));

    out.SetPosition(26);
    out.WritePString(cut(h.titre, kTitreRoom));

    out.SetPosition(68);
    out.WriteInt16(low16(h.jrnl_libelSize));
    out.WriteUInt8(low8(h.jrnl_refSize));
    out.WriteBoolean(h.accountsAlpha);
    out.WriteUInt8(h.accountsAlphaNb);
    out.WriteUInt8(low8(h.plan_nameSize));
    out.WriteBoolean(h.docOpenFlag);
    out.WriteInt16(low16(h.bouclDef));
    out.WriteInt16(kCurrencyCount);
    out.WriteBoolean(h.change);
    out.WriteBoolean(h.changePropose);
    out.WriteBoolean(h.ignoreChange);
    out.WriteBoolean(h.ignoreTVA);
    out.WriteBoolean(h.TVA);
    out.WriteInt16(static_cast<int16_t>(h.TVAControl));
    out.WriteBoolean(h.notSharedDoc);
    out.WriteBoolean(h.showBCLT);
    out.Write(cut(h.docColor, kDocColorRoom).bytes); // no length byte

    out.SetPosition(128);
    out.WriteInt16(low16(h.plan_top));
    out.WriteInt16(low16(h.plan_left));
    out.WriteInt16(low16(h.plan_height));
    out.WriteInt16(low16(h.plan_size));
    out.WriteInt16(low16(h.plan_1stline));
    out.WriteInt16(low16(h.plan_actLine));

    out.SetPosition(146);
    out.WriteInt16(low16(h.jrnl_top));
    out.WriteInt16(low16(h.jrnl_left));
    out.WriteInt16(low16(h.jrnl_height));
    out.WriteInt16(low16(h.jrnl_size));
    out.WriteUInt32(ulow32(h.jrnl_1stline));
    out.WriteUInt32(ulow32(h.jrnl_actLine));

    out.SetPosition(164);
    out.WriteInt16(low16(h.bal_top));
    out.WriteInt16(low16(h.bal_left));
    out.WriteInt16(low16(h.bal_height));
    out.WriteInt16(low16(h.bal_size));
    out.WriteInt16(low16(h.bal_1stline));
    out.WriteInt16(low16(h.bal_actLine));

    out.SetPosition(182);
    out.WriteInt16(static_cast<int16_t>(h.extr1_top));
    out.WriteInt16(h.extr1_left);
    out.WriteInt16(static_cast<int16_t>(h.extr1_height));
    out.WriteInt16(h.extr1_size);
    out.WriteUInt32(h.extr1_1stline);
    out.WriteUInt32(h.extr1_actLine);
    out.WriteInt16(h.extr1_actCpte);

    out.SetPosition(200);
    out.WriteInt16(static_cast<int16_t>(h.extr2_top));
    out.WriteInt16(h.extr2_left);
    out.WriteInt16(static_cast<int16_t>(h.extr2_height));
    out.WriteInt16(h.extr2_size);
    out.WriteUInt32(h.extr2_1stline);
    out.WriteUInt32(h.extr2_actLine);
    out.WriteInt16(h.extr2_actCpte);

    out.SetPosition(218);
    out.WriteInt16(static_cast<int16_t>(h.search_top));
    out.WriteInt16(static_cast<int16_t>(h.search_left));
    out.WriteInt16(static_cast<int16_t>(h.search_height));
    out.WriteInt16(low16(h.search_size));

    out.SetPosition(236);
    out.WriteInt16(low16(h.currencies_top));
    out.WriteInt16(low16(h.currencies_left));
    out.WriteInt16(low16(h.currencies_height));
    out.WriteInt16(low16(h.curr_Size));
    out.WriteInt16(low16(h.currencies_1stline));
    out.WriteInt16(low16(h.currencies_actLine));

    out.SetPosition(254);
    for (size_t i = 0; i < kOrdreEntries; ++i) {
        out.WriteInt16(i < h.wOrdre.size() ? low16(h.wOrdre[i]) : int16_t{0});
        YieldNow();
    }

    out.SetPosition(380);
    out.WritePString(cut(h.printTitle, kPrintTitleRoom));
    out.SetPosition(456);
    out.WriteBoolean(h.merloFont);
    out.SetPosition(460);
    out.WritePString(cut(h.lastBackup, kLastBackupRoom));
    out.WriteInt16(low16(h.nbModifications));
}

} // namespace qmk
