// The header readers: the Plus / X header, the 3.2 header, and the status-only
// handlers of the older editions. Every field comes from a fixed offset; the
// position is set again wherever the legacy layout asks, so a title whose length
// byte runs past its room never shifts the fields that follow it.
#include "model/Globals.h"
#include "model/Layout.h"
#include "model/Utils.h"
#include "platform/Errors.h"
#include "platform/Worker.h"
#include "reader/Reader.h"

namespace qmk {

namespace {

// A separator byte becomes the one character whose code is the byte's value:
// 0..127 the ASCII character, 0x80..0xFF the character U+0080..U+00FF, so the
// writer gets the same byte back from its code and no separator is lost.
String separator(BinaryStream& in) {
    return Chr(static_cast<uint8_t>(in.ReadInt8()));
}

// A view size outside 12..24 falls back to the usual 13.
template <typename T> T clampSize(T v) {
    return (v < 12 || v > 24) ? T(13) : v;
}

// Offsets 2..71, shared by the Plus / X and the 3.2 headers; ends at 72.
void readHeadBlock(BinaryStream& in, VLQmkaProVersion& h) {
    in.SetPosition(Layout::Legacy::kHeader);
    h.serialNb = in.ReadInt32();
    in.SetPosition(6);
    h.coded = in.ReadBoolean();
    in.SetPosition(7);
    h.untilLine = in.ReadBoolean();
    in.SetPosition(8);
    h.maxEcrCount = in.ReadInt16();
    in.SetPosition(10);
    h.digCount = in.ReadInt16();
    in.SetPosition(13);
    h.decPtSign = separator(in);
    in.SetPosition(15);
    h.thSepSign = separator(in);
    in.SetPosition(17);
    h.int0Sign = separator(in);
    in.SetPosition(19);
    h.frac0Sign = separator(in);
    in.SetPosition(21);
    h.dtSepSign = separator(in);
    in.SetPosition(22);
    (void)in.ReadInt16();
    in.SetPosition(24);
    h.titre = in.ReadPString(TextEncoding::MacRoman);
    in.SetPosition(66);
    h.lingua = in.ReadInt16();
    h.docOpenFlag = in.ReadBoolean();
    (void)in.ReadBoolean();
    h.bouclDef = in.ReadInt16();
}

} // namespace

void QMXreadQmkaVrs(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
    BinaryStream& in = s.stream();
    VLQmkaProVersion& h = s.header();

    readHeadBlock(in, h);
    h.catNb = in.ReadInt16();
    h.change = in.ReadBoolean();
    h.changePropose = in.ReadBoolean();
    h.ignoreChange = in.ReadBoolean();
    (void)in.ReadBoolean();
    h.ignoreTVA = in.ReadBoolean();
    h.TVA = in.ReadBoolean();
    h.TVAControl = static_cast<uint16_t>(in.ReadInt16());

    in.SetPosition(82);
    h.clip_top = in.ReadInt16();
    h.clip_left = in.ReadInt16();
    h.clip_height = in.ReadInt16();
    h.clip_zoomed = in.ReadBoolean();
    h.clip_res = in.ReadBoolean();

    h.plan_top = in.ReadInt16();
    h.plan_left = in.ReadInt16();
    h.plan_height = in.ReadInt16();
    h.plan_zoomed = in.ReadBoolean();
    h.plan_res = in.ReadBoolean();
    h.plan_1stline = in.ReadInt16();
    h.plan_actLine = in.ReadInt16();

    h.jrnl_top = in.ReadInt16();
    h.jrnl_left = in.ReadInt16();
    h.jrnl_height = in.ReadInt16();
    h.jrnl_zoomed = in.ReadBoolean();
    h.jrnl_res = in.ReadBoolean();
    h.jrnl_1stline = in.ReadInt16();
    h.jrnl_actLine = in.ReadInt16();

    h.bal_top = in.ReadInt16();
    h.bal_left = in.ReadInt16();
    h.bal_height = in.ReadInt16();
    h.bal_zoomed = in.ReadBoolean();
    h.bal_res = in.ReadBoolean();
    h.bal_1stline = in.ReadInt16();
    h.bal_actLine = in.ReadInt16();

    h.extr1_top = in.ReadUInt16();
    h.extr1_left = in.ReadInt16();
    h.extr1_height = in.ReadUInt16();
    h.extr1_zoomed = in.ReadBoolean();
    h.extr1_res = in.ReadBoolean();
    h.extr1_1stline = in.ReadUInt16();
    h.extr1_actLine = in.ReadUInt16();
    h.extr1_actCpte = in.ReadInt16();

    // Only the positive entries of the ten-value list are kept, in order.
    h.wOrdre.clear();
    for (int i = 0; i < 10; ++i) {
        int64_t v = in.ReadInt16();
        if (v > 0)
            h.wOrdre.push_back(v);
        YieldNow();
    }

    h.printTitle = in.ReadPString(TextEncoding::MacRoman);

    in.SetPosition(236);
    h.merloFont = in.ReadBoolean();
    h.res2 = in.ReadBoolean();
    h.res3 = in.ReadInt16();

    h.extr2_top = in.ReadUInt16();
    h.extr2_left = in.ReadInt16();
    h.extr2_height = in.ReadUInt16();
    h.extr2_zoomed = in.ReadBoolean();
    h.extr2_res = in.ReadBoolean();
    h.extr2_1stline = in.ReadUInt16();
    h.extr2_actLine = in.ReadUInt16();
    h.extr2_actCpte = in.ReadInt16();
    // An unplaced second extract gets the usual place.
    if (h.extr2_top == 0)
        h.extr2_top = 565;
    if (h.extr2_left == 0)
        h.extr2_left = 10;
    if (h.extr2_height == 0)
        h.extr2_height = 200;

    h.plan_size = clampSize<int64_t>(in.ReadInt16());
    h.jrnl_size = clampSize<int64_t>(in.ReadInt16());
    h.bal_size = clampSize<int64_t>(in.ReadInt16());
    h.curr_Size = clampSize<int64_t>(in.ReadInt16());
    h.extr1_size = clampSize<int16_t>(in.ReadInt16());
    h.extr2_size = clampSize<int16_t>(in.ReadInt16());
    h.search_top = in.ReadUInt16();
    h.search_left = in.ReadUInt16();
    h.search_height = in.ReadUInt16();
    h.search_size = clampSize<int64_t>(in.ReadUInt16());

    // An unplaced currencies view gets the usual place.
    in.SetPosition(340);
    h.currencies_top = in.ReadInt16();
    if (h.currencies_top == 0)
        h.currencies_top = 470;
    h.currencies_left = in.ReadInt16();
    if (h.currencies_left == 0)
        h.currencies_left = 700;
    h.currencies_height = in.ReadInt16();
    if (h.currencies_height == 0)
        h.currencies_height = 200;
    h.currencies_zoomed = in.ReadBoolean();
    h.currencies_res = in.ReadBoolean();
    h.currencies_1stline = in.ReadInt16();
    h.currencies_actLine = in.ReadInt16();
    h.mypPatNo = in.ReadInt16();

    // Whatever the backup text holds, it leaves as a six-digit date.
    String backup = in.ReadPString(TextEncoding::None);
    if (Utils::Trim(backup).empty())
        h.lastBackup = "000101";
    else
        h.lastBackup = Utils::VLDate2FileDate(Utils::VLFileDate2Date(backup));
    // These two follow the backup text directly, wherever its length puts them.
    h.nbModifications = in.ReadInt16();
    h.notSharedDoc = in.ReadBoolean();
}

void QM32readQmkaVrs(ConversionDocument& s, StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
    BinaryStream& in = s.stream();
    VLQmkaProVersion& h = s.header();
    readHeadBlock(in, h);
    in.SetPosition(114);
    h.printTitle = in.ReadPString(TextEncoding::MacRoman);
}

// The older editions keep nothing the Pro header can use: the defaults stand.
void QM32ProreadQmkaVrs(StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
}
void QMClassicreadQmkaVrs(StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
}
void QM30readQmkaVrs(StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
}
void QM21readQmkaVrs(StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
}
void QM19readQmkaVrs(StatusPoster& post) {
    post.newStatus(Globals::kStatusHeader());
}

} // namespace qmk
