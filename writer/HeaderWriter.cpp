// The 512-byte header of the Pro document, written field by field.
#include "writer/Writer.h"

#include "model/Layout.h"
#include "platform/Errors.h"
#include "platform/Worker.h"

#include <iterator>

namespace qmk {

namespace Header = Layout::Pro::Header;

namespace {

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

    out.SetPosition(Header::kVersionWord);
    out.WriteInt16(Header::kVersion);
    out.SetPosition(Header::kSerialNb);
    out.WriteInt32(low32(h.serialNb));
    out.SetPosition(Header::kCoded);
    out.WriteBoolean(h.coded);
    out.SetPosition(Header::kUntilLine);
    out.WriteBoolean(h.untilLine);
    out.SetPosition(Header::kMaxCptCount);
    out.WriteUInt16(ulow16(h.maxCptCount));
    out.SetPosition(Header::kMaxEcrCount);
    out.WriteUInt32(ulow32(h.maxEcrCount));
    out.SetPosition(Header::kDigCount);
    out.WriteInt16(low16(h.digCount));

    // One byte each; the byte after each sign stays zero.
    const String* signs[] = {&h.decPtSign, &h.thSepSign, &h.int0Sign, &h.frac0Sign, &h.dtSepSign};
    static_assert(std::size(signs) == std::size(Header::kSigns));
    for (size_t i = 0; i < std::size(signs); ++i) {
        out.SetPosition(Header::kSigns[i]);
        out.WriteInt8(signByte(*signs[i]));
    }

    out.SetPosition(Header::kTitre);
    out.WritePString(cut(h.titre, Header::kTitreRoom));

    out.SetPosition(Header::kJrnlLibelSize);
    out.WriteInt16(low16(h.jrnl_libelSize));
    out.WriteUInt8(low8(h.jrnl_refSize));
    out.WriteBoolean(h.accountsAlpha);
    out.WriteUInt8(h.accountsAlphaNb);
    out.WriteUInt8(low8(h.plan_nameSize));
    out.WriteBoolean(h.docOpenFlag);
    out.WriteInt16(low16(h.bouclDef));
    out.WriteInt16(Header::kCurrencyCount);
    out.WriteBoolean(h.change);
    out.WriteBoolean(h.changePropose);
    out.WriteBoolean(h.ignoreChange);
    out.WriteBoolean(h.ignoreTVA);
    out.WriteBoolean(h.TVA);
    out.WriteInt16(static_cast<int16_t>(h.TVAControl));
    out.WriteBoolean(h.notSharedDoc);
    out.WriteBoolean(h.showBCLT);
    out.Write(cut(h.docColor, Header::kDocColorRoom).bytes); // no length byte

    out.SetPosition(Header::kPlanView);
    out.WriteInt16(low16(h.plan_top));
    out.WriteInt16(low16(h.plan_left));
    out.WriteInt16(low16(h.plan_height));
    out.WriteInt16(low16(h.plan_size));
    out.WriteInt16(low16(h.plan_1stline));
    out.WriteInt16(low16(h.plan_actLine));

    out.SetPosition(Header::kJrnlView);
    out.WriteInt16(low16(h.jrnl_top));
    out.WriteInt16(low16(h.jrnl_left));
    out.WriteInt16(low16(h.jrnl_height));
    out.WriteInt16(low16(h.jrnl_size));
    out.WriteUInt32(ulow32(h.jrnl_1stline));
    out.WriteUInt32(ulow32(h.jrnl_actLine));

    out.SetPosition(Header::kBalView);
    out.WriteInt16(low16(h.bal_top));
    out.WriteInt16(low16(h.bal_left));
    out.WriteInt16(low16(h.bal_height));
    out.WriteInt16(low16(h.bal_size));
    out.WriteInt16(low16(h.bal_1stline));
    out.WriteInt16(low16(h.bal_actLine));

    out.SetPosition(Header::kExtr1View);
    out.WriteInt16(static_cast<int16_t>(h.extr1_top));
    out.WriteInt16(h.extr1_left);
    out.WriteInt16(static_cast<int16_t>(h.extr1_height));
    out.WriteInt16(h.extr1_size);
    out.WriteUInt32(h.extr1_1stline);
    out.WriteUInt32(h.extr1_actLine);
    out.WriteInt16(h.extr1_actCpte);

    out.SetPosition(Header::kExtr2View);
    out.WriteInt16(static_cast<int16_t>(h.extr2_top));
    out.WriteInt16(h.extr2_left);
    out.WriteInt16(static_cast<int16_t>(h.extr2_height));
    out.WriteInt16(h.extr2_size);
    out.WriteUInt32(h.extr2_1stline);
    out.WriteUInt32(h.extr2_actLine);
    out.WriteInt16(h.extr2_actCpte);

    out.SetPosition(Header::kSearchView);
    out.WriteInt16(static_cast<int16_t>(h.search_top));
    out.WriteInt16(static_cast<int16_t>(h.search_left));
    out.WriteInt16(static_cast<int16_t>(h.search_height));
    out.WriteInt16(low16(h.search_size));

    out.SetPosition(Header::kCurrenciesView);
    out.WriteInt16(low16(h.currencies_top));
    out.WriteInt16(low16(h.currencies_left));
    out.WriteInt16(low16(h.currencies_height));
    out.WriteInt16(low16(h.curr_Size));
    out.WriteInt16(low16(h.currencies_1stline));
    out.WriteInt16(low16(h.currencies_actLine));

    out.SetPosition(Header::kOrder);
    for (size_t i = 0; i < Header::kOrderEntries; ++i) {
        out.WriteInt16(i < h.wOrdre.size() ? low16(h.wOrdre[i]) : int16_t{0});
        YieldNow();
    }

    out.SetPosition(Header::kPrintTitle);
    out.WritePString(cut(h.printTitle, Header::kPrintTitleRoom));
    out.SetPosition(Header::kMerloFont);
    out.WriteBoolean(h.merloFont);
    out.SetPosition(Header::kLastBackup);
    out.WritePString(cut(h.lastBackup, Header::kLastBackupRoom));
    out.WriteInt16(low16(h.nbModifications));
}

} // namespace qmk
