// Writes the bundled example documents from field values, with the tests'
// document builders: a Plus / X document with a chart of accounts and a
// journal, a 3.2 document, and a Pro document (which the converter refuses).
// With --largest it writes instead one Plus / X document of the largest journal
// a legacy header can count (32,767 entries, the example's eight over and over),
// for measuring the pace of large documents.
//
//     cmake --build build --target make-examples
//     build/tools/make-examples examples
//     build/tools/make-examples --largest /tmp/largest.qmkx
//
// The texts are written here in UTF-8 and stored in MacRoman, as the legacy
// editions keep them.
#include "platform/Text.h"
#include "support/Bytes.h"
#include "support/LegacyDoc.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

using namespace qmk::test;

namespace {

std::string macRoman(const std::string& utf8) {
    const qmk::String t = qmk::ConvertEncoding(qmk::String(utf8), qmk::TextEncoding::MacRoman);
    // The converter puts '?' for what MacRoman cannot hold; an example keeps every character.
    if (qmk::ConvertEncoding(t, qmk::TextEncoding::UTF8).bytes != utf8)
        throw std::runtime_error("not MacRoman: " + utf8);
    return t.bytes;
}

void save(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + p.string());
    std::printf("%s: %zu bytes\n", p.c_str(), bytes.size());
}

// A four-character code as the 32-bit number that holds it.
uint32_t code(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
           uint32_t(uint8_t(c[2])) << 8 | uint32_t(uint8_t(c[3]));
}

// The header block 2..71 and the currencies, shared by the Plus / X and 3.2 editions.
template <typename D>
void commonFields(D& d, int32_t serial, int journalCount, const std::string& title) {
    d.serialNb(serial)
        .coded(0)
        .untilLine(1)
        .maxEcrCount(journalCount)
        .digCount(2) // digits after the decimal point
        .decPtSign('.')
        .thSepSign('\'')
        .int0Sign('-')
        .frac0Sign('-')
        .dtSepSign('.')
        .titre(macRoman(title))
        .lingua(1)
        .docOpenFlag(0)
        .bouclDef(0);

    struct Currency {
        char code[5];
        int decimals;
        int64_t rate; // millionths of the home currency
    };
    const Currency list[] = {{"CHF ", 2, 1000000}, {"EUR ", 2, 985400}, {"USD ", 2, 912300}};
    int i = 1;
    for (const Currency& c : list) {
        d.currency(i, {.long1 = code(c.code),
                       .short1 = int16_t(c.decimals),
                       .wide1 = c.rate,
                       .wide2 = 0,
                       .flag1 = 1,
                       .flag2 = uint8_t(i == 1)});
        ++i;
    }
}

void plusXHeader(PlusXDoc& d) {
    d.catNb(3).change(1).changePropose(0).ignoreChange(0).ignoreTVA(1).TVA(0).TVAControl(0);
    struct Geometry {
        View view;
        int top, left, height;
    };
    const Geometry views[] = {
        {View::clip, 60, 20, 180},     {View::plan, 45, 10, 420},   {View::jrnl, 70, 40, 460},
        {View::bal, 90, 60, 400},      {View::extr1, 110, 80, 380}, {View::extr2, 565, 10, 200},
        {View::search, 120, 120, 300}, {View::curr, 470, 700, 200},
    };
    for (const Geometry& g : views)
        d.top(g.view, g.top).left(g.view, g.left).height(g.view, g.height);
    d.firstLine(View::plan, 1).actLine(View::plan, 1);
    d.firstLine(View::jrnl, 1).actLine(View::jrnl, 8);
    d.firstLine(View::bal, 1).actLine(View::bal, 1);
    d.firstLine(View::extr1, 1).actLine(View::extr1, 1).actCpte(View::extr1, 2);
    d.firstLine(View::extr2, 1).actLine(View::extr2, 1).actCpte(View::extr2, 3);
    d.firstLine(View::curr, 1).actLine(View::curr, 1);
    for (View v :
         {View::plan, View::jrnl, View::bal, View::curr, View::extr1, View::extr2, View::search})
        d.size(v, 12);
    d.wOrdre({1, 2, 3, 4, 5});
    d.printTitle(macRoman("Grand livre de l'exercice 2023"));
    d.merloFont(1).res2(0).res3(0);
    d.mypPatNo(0);
    d.lastBackup("231229", 57, 1);
}

void accessRights(PlusXDoc& d) {
    const char* users[] = {"Administrateur", "Comptable", "Lecture seule"};
    const int levels[] = {3, 2, 1};
    for (int i = 0; i < 3; ++i) {
        const size_t at = PlusXDoc::accessOffset(i);
        d.u16(at + 2, levels[i]).pstr(at + 4, macRoman(users[i]));
    }
}

struct Account {
    int number;
    const char* name;
    const char* cat;
    int64_t balance; // centimes
};

void accounts(PlusXDoc& d) {
    const Account list[] = {
        {1000, "Caisse", "ACT ", 52440},
        {1020, "Banque cantonale", "ACT ", 1486650},
        {1100, "Débiteurs", "ACT ", 450000},
        {2000, "Créanciers", "PAS ", 0},
        {2800, "Capital propre", "PAS ", -2000000},
        {3200, "Ventes de marchandises", "PRO ", -511230},
        {4200, "Achats de marchandises", "CHA ", 324050},
        {6000, "Loyer", "CHA ", 185000},
        {6500, "Frais de bureau", "CHA ", 8790},
        {6510, "Téléphone et internet", "CHA ", 0},
        {6900, "Frais bancaires", "CHA ", 1200},
    };
    const int used = int(std::size(list));
    d.accountInfo(1, used, used + 1, used); // first, last, first free slot, count
    for (int k = 1; k <= 1000; ++k) {
        AccountFields f{.recNo = int16_t(k), .prevRec = int16_t(k - 1)};
        if (k <= used) {
            const Account& a = list[k - 1];
            f.nextRec = int16_t(k == used ? 0 : k + 1);
            f.short1 = int16_t(a.number);
            f.name = macRoman(a.name);
            f.flag1 = 1;
            f.CAT = a.cat;
            f.wide1 = a.balance;
            f.boucl[0] = {1, int16_t(a.number)}; // closing plan: carried forward
        } else {
            // The free slots, chained one to the next.
            f.nextRec = int16_t(k == 1000 ? 0 : k + 1);
            f.name = std::string(25, ' ');
            f.CAT = "    ";
            f.wide1 = -1;
        }
        d.account(k, f);
    }
}

struct Entry {
    uint32_t date; // YYMMDD
    const char* label;
    const char* ref;
    int debit, credit;
    int64_t amount; // centimes
};

// The journal of n entries: the list below, repeated as far as n reaches.
void journal(PlusXDoc& d, int n) {
    const Entry list[] = {
        {230102, "Apport du capital initial", "E-001", 1020, 2800, 2000000},
        {230105, "Loyer de janvier, arcade rue du Rhône", "E-002", 6000, 1020, 185000},
        {230110, "Achat de marchandises, facture n° 4512", "E-003", 4200, 2000, 324050},
        {230116, "Vente au comptant, caisse du jour", "E-004", 1000, 3200, 61230},
        {230120, "Fournitures de bureau (papeterie Dubois)", "E-005", 6500, 1000, 8790},
        {230125, "Facture client Müller & Cie", "E-006", 1100, 3200, 450000},
        {230131, "Frais de tenue de compte, janvier", "E-007", 6900, 1020, 1200},
        {230203, "Règlement fournisseur, facture n° 4512", "E-008", 2000, 1020, 324050},
    };
    d.journalInfo(1, n, 0, n);
    for (int i = 1; i <= n; ++i) {
        const Entry& e = list[size_t(i - 1) % std::size(list)];
        d.journal(i, {.recNo = int16_t(i),
                      .prevRec = int16_t(i - 1),
                      .nextRec = int16_t(i == n ? 0 : i + 1),
                      .long1 = e.date,
                      .label = macRoman(e.label),
                      .ref = macRoman(e.ref),
                      .short1 = int16_t(e.debit),
                      .short2 = int16_t(e.credit),
                      .wide1 = e.amount,
                      .byte1 = 0,
                      .flag1 = 1});
    }
}

// The example journal's length, and the largest a header can count.
constexpr int kExampleEntries = 8;
constexpr int kLargestEntries = 32767;

std::string plusX(int entries = kExampleEntries) {
    PlusXDoc d;
    commonFields(d, 48213, entries, "Boutique Lemaître Sàrl");
    plusXHeader(d);
    accessRights(d);
    accounts(d);
    journal(d, entries);
    return d.bytes();
}

std::string v32() {
    Doc32 d;
    commonFields(d, 20457, 0, "Association des Amis du Léman");
    d.printTitle(macRoman("Comptes annuels 2019"));
    // The document runs on to the end of the access rights' place.
    return d.resize(1280).bytes();
}

std::string pro() {
    // Header, currencies, access rights, account list information, 1002
    // account slots and the journal information of an empty journal, all zero
    // but the version word.
    return Bytes(129804 + 16).be16(0, 6200).str();
}

} // namespace

int main(int argc, char** argv) {
    const bool largest = argc == 3 && std::string(argv[1]) == "--largest";
    if (argc != 2 && !largest) {
        std::fprintf(stderr, "usage: %s FOLDER\n       %s --largest FILE\n", argv[0], argv[0]);
        return 2;
    }
    try {
        if (largest) {
            save(argv[2], plusX(kLargestEntries));
            return 0;
        }
        const std::filesystem::path dir(argv[1]);
        std::filesystem::create_directories(dir);
        save(dir / "plus-x.qmkx", plusX());
        save(dir / "v32.qmk3", v32());
        save(dir / "pro.qmkp", pro());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-examples: %s\n", e.what());
        return 1;
    }
    return 0;
}
