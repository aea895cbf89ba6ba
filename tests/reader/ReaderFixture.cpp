#include "ReaderFixture.h"

#include "model/Utils.h"
#include "reader/Reader.h"

#include <sstream>

namespace qmk::test {

namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string r;
    for (unsigned char c : bytes) {
        r.push_back(digits[c >> 4]);
        r.push_back(digits[c & 15]);
    }
    return r;
}

void put(std::ostringstream& o, const char* name, int64_t v) {
    o << name << '=' << v << '\n';
}
void put(std::ostringstream& o, const char* name, const String& v) {
    o << name << "=[" << hex(v.bytes) << "] enc " << static_cast<int>(v.encoding) << '\n';
}

} // namespace

std::string dumpHeader(const VLQmkaProVersion& h) {
    std::ostringstream o;
#define P(f) put(o, #f, h.f)
    P(version), P(serialNb), P(coded), P(untilLine), P(maxCptCount), P(maxEcrCount);
    P(nbModifications), P(lastBackup), P(docOpenFlag), P(notSharedDoc), P(lingua);
    P(mypPatNo), P(res2), P(res3), P(digCount), P(decPtSign), P(thSepSign), P(int0Sign);
    P(frac0Sign), P(dtSepSign), P(titre), P(printTitle), P(printFont), P(merloFont);
    P(docColor), P(actColor), P(jrnl_libelSize), P(jrnl_refSize), P(plan_nameSize);
    P(accountsAlpha), P(accountsAlphaNb), P(bouclDef), P(catNb), P(showBCLT), P(change);
    P(changePropose), P(ignoreChange), P(ignoreTVA), P(TVA), P(TVAControl);
    P(plan_top), P(plan_left), P(plan_height), P(plan_size), P(plan_1stline);
    P(plan_actLine), P(plan_res), P(plan_zoomed);
    P(jrnl_top), P(jrnl_left), P(jrnl_height), P(jrnl_size), P(jrnl_1stline);
    P(jrnl_actLine), P(jrnl_res), P(jrnl_zoomed);
    P(bal_top), P(bal_left), P(bal_height), P(bal_size), P(bal_1stline), P(bal_actLine);
    P(bal_res), P(bal_zoomed);
    P(currencies_top), P(currencies_left), P(currencies_height), P(curr_Size);
    P(currencies_1stline), P(currencies_actLine), P(currencies_res), P(currencies_zoomed);
    P(extr1_top), P(extr1_left), P(extr1_height), P(extr1_size), P(extr1_1stline);
    P(extr1_actLine), P(extr1_res), P(extr1_zoomed), P(extr1_actCpte);
    P(extr2_top), P(extr2_left), P(extr2_height), P(extr2_size), P(extr2_1stline);
    P(extr2_actLine), P(extr2_res), P(extr2_zoomed), P(extr2_actCpte);
    P(search_top), P(search_left), P(search_height), P(search_size);
    P(clip_top), P(clip_left), P(clip_height), P(clip_actLine), P(clip_res), P(clip_zoomed);
#undef P
    o << "wOrdre=";
    for (int64_t v : h.wOrdre)
        o << v << ',';
    o << '\n';
    return o.str();
}

std::string dumpState(const ConversionDocument& s) {
    std::ostringstream o;
    if (s.qmkaVrs)
        o << dumpHeader(*s.qmkaVrs);
    auto all = [&](const char* name, const auto& v) {
        o << name << ' ' << v.size() << '\n';
        for (size_t i = 0; i < v.size(); ++i)
            o << i << ' ' << hex(v[i].StringValue(false)) << '\n';
    };
    all("currencies", s.currencies);
    all("acces", s.acces);
    all("accounts", s.accounts);
    all("ecritures", s.ecritures);
    o << "cptInfo " << hex(s.cptInfo.StringValue(false)) << '\n';
    o << "ecrInfo " << hex(s.ecrInfo.StringValue(false)) << '\n';
    return o.str();
}

ReaderTest::ReaderTest() {
    Utils::SetClock([] { return Date(2024, 6, 15, 10, 30, 0); });
}

ReaderTest::~ReaderTest() {
    Utils::SetClock({});
}

void ReaderTest::openInto(ConversionDocument& st, const std::string& image) {
    auto path = dir.write("doc" + std::to_string(files_++), image);
    st.fileBS = BinaryStream::Open(FolderItem(path));
    st.qmkaVrs = std::make_unique<VLQmkaProVersion>();
    ResetQmkaVersion(st);
    st.version = image.size() >= 2 ? static_cast<int16_t>(beAt(image, 0, 2)) : 0;
}

} // namespace qmk::test
