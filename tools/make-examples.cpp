// Writes the bundled example documents from field values, after the legacy
// layouts: a Plus / X document with a chart of accounts and a journal, a 3.2
// document, and a Pro document (which the converter refuses).
//
//     g++ -std=c++20 -O2 tools/make-examples.cpp -o /tmp/make-examples
//     /tmp/make-examples examples
//
// Every number is big-endian; texts are MacRoman, length-prefixed.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string macRoman(const std::string& utf8) {
    iconv_t cd = iconv_open("MACINTOSH", "UTF-8");
    if (cd == iconv_t(-1))
        throw std::runtime_error("no MacRoman converter");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        throw std::runtime_error("not MacRoman: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

// A document image written at absolute offsets.
class Image {
  public:
    explicit Image(size_t size) : b_(size, 0) {}

    void i8(size_t at, int v) { b_.at(at) = uint8_t(v); }
    void boolean(size_t at, bool v) { i8(at, v ? 1 : 0); }
    void i16(size_t at, int v) {
        i8(at, (v >> 8) & 0xFF);
        i8(at + 1, v & 0xFF);
    }
    void i32(size_t at, int64_t v) {
        i16(at, int((v >> 16) & 0xFFFF));
        i16(at + 2, int(v & 0xFFFF));
    }
    void i64(size_t at, int64_t v) {
        i32(at, v >> 32);
        i32(at + 4, v & 0xFFFFFFFF);
    }
    void raw(size_t at, const std::string& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i)
            i8(at + i, uint8_t(bytes[i]));
    }
    // A length byte, then the text in MacRoman; room is the number of text bytes.
    void text(size_t at, const std::string& utf8, size_t room) {
        const std::string t = macRoman(utf8);
        if (t.size() > room)
            throw std::runtime_error("too long for its field: " + utf8);
        i8(at, int(t.size()));
        raw(at + 1, t);
    }
    void save(const std::filesystem::path& p) const {
        std::ofstream f(p, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(b_.data()), std::streamsize(b_.size()));
        if (!f)
            throw std::runtime_error("cannot write " + p.string());
        std::printf("%s: %zu bytes\n", p.c_str(), b_.size());
    }

  private:
    std::vector<uint8_t> b_;
};

struct View {
    int top, left, height;
};

// The header fields from 2 to 71, shared by the Plus / X and 3.2 editions.
void firstHeaderBlock(Image& d, int32_t serial, int journalCount, const std::string& title) {
    d.i32(2, serial);
    d.boolean(6, false); // coded
    d.boolean(7, true);  // untilLine
    d.i16(8, journalCount);
    d.i16(10, 2); // digits after the decimal point
    d.i8(13, '.');
    d.i8(15, '\'');
    d.i8(17, '-');
    d.i8(19, '-');
    d.i8(21, '.');
    d.text(24, title, 41);
    d.i16(66, 1);         // lingua
    d.boolean(68, false); // docOpenFlag
    d.i16(70, 0);         // bouclDef
}

void plusXHeader(Image& d, int journalCount) {
    d.i16(0, 4000);
    firstHeaderBlock(d, 48213, journalCount, "Boutique Lemaître Sàrl");
    d.i16(72, 3);         // catNb
    d.boolean(74, true);  // change
    d.boolean(75, false); // changePropose
    d.boolean(76, false); // ignoreChange
    d.boolean(78, true);  // ignoreTVA
    d.boolean(79, false); // TVA
    d.i16(80, 0);         // TVAControl
    auto view = [&](size_t at, View v) {
        d.i16(at, v.top);
        d.i16(at + 2, v.left);
        d.i16(at + 4, v.height);
    };
    view(82, {60, 20, 180}); // clip
    view(90, {45, 10, 420}); // plan, then zoomed/res, first line, active line
    d.i16(98, 1);
    d.i16(100, 1);
    view(102, {70, 40, 460}); // journal
    d.i16(110, 1);
    d.i16(112, 8);
    view(114, {90, 60, 400}); // balance
    d.i16(122, 1);
    d.i16(124, 1);
    view(126, {110, 80, 380}); // first ledger extract
    d.i16(134, 1);
    d.i16(136, 1);
    d.i16(138, 2);
    const int order[10] = {1, 2, 3, 4, 5, 0, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i)
        d.i16(140 + 2 * i, order[i]);
    d.text(160, "Grand livre de l'exercice 2023", 75);
    d.boolean(236, true); // merloFont
    d.boolean(237, false);
    d.i16(238, 0);
    view(240, {565, 10, 200}); // second ledger extract
    d.i16(248, 1);
    d.i16(250, 1);
    d.i16(252, 3);
    for (size_t at = 254; at <= 264; at += 2) // the six view text sizes
        d.i16(at, 12);
    view(266, {120, 120, 300}); // search
    d.i16(272, 12);
    view(340, {470, 700, 200}); // currencies view
    d.i16(348, 1);
    d.i16(350, 1);
    d.i16(352, 0); // mypPatNo
    d.text(354, "231229", 255);
    d.i16(361, 57);       // nbModifications
    d.boolean(363, true); // notSharedDoc
}

struct Currency {
    const char* code;
    int decimals;
    int64_t rate; // millionths of the home currency
};

void currencies(Image& d) {
    const Currency list[] = {{"CHF ", 2, 1000000}, {"EUR ", 2, 985400}, {"USD ", 2, 912300}};
    size_t i = 0;
    for (const Currency& c : list) {
        const size_t at = 512 + 24 * i++;
        d.raw(at, c.code);
        d.i16(at + 4, c.decimals);
        d.i64(at + 6, c.rate);
        d.i64(at + 14, 0);
        d.boolean(at + 22, true);
        d.boolean(at + 23, i == 1);
    }
}

void accessRights(Image& d) {
    const char* users[] = {"Administrateur", "Comptable", "Lecture seule"};
    const int levels[] = {3, 2, 1};
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = 1280 + 42 * i;
        d.i16(at + 2, levels[i]);
        d.text(at + 4, users[i], 30);
    }
}

struct Account {
    int number;
    const char* name;
    const char* cat;
    int64_t balance; // centimes
};

constexpr size_t kAccounts = 1548;
constexpr size_t kJournalInfo = 129676;
constexpr size_t kJournal = 129692;

void accounts(Image& d) {
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
    d.i16(1532, 1);        // first account
    d.i16(1534, used);     // last account
    d.i16(1536, used + 1); // first free slot
    d.i16(1538, used);
    for (int k = 1; k <= 1000; ++k) {
        const size_t at = kAccounts + 128 * size_t(k);
        d.i16(at, k);
        d.i16(at + 2, k - 1);
        if (k <= used) {
            const Account& a = list[k - 1];
            d.i16(at + 4, k == used ? 0 : k + 1);
            d.i16(at + 6, a.number);
            d.text(at + 8, a.name, 25);
            d.boolean(at + 34, true);
            d.raw(at + 36, a.cat);
            d.i64(at + 46, a.balance);
            d.i16(at + 68, 1); // closing plan: carried forward
            d.i16(at + 70, a.number);
        } else {
            // The free slots, chained one to the next.
            d.i16(at + 4, k == 1000 ? 0 : k + 1);
            d.text(at + 8, std::string(25, ' '), 25);
            d.raw(at + 36, "    ");
            d.i64(at + 46, -1);
        }
    }
}

struct Entry {
    int date; // YYMMDD
    const char* label;
    const char* ref;
    int debit, credit;
    int64_t amount; // centimes
};

const Entry kEntries[] = {
    {230102, "Apport du capital initial", "E-001", 1020, 2800, 2000000},
    {230105, "Loyer de janvier, arcade rue du Rhône", "E-002", 6000, 1020, 185000},
    {230110, "Achat de marchandises, facture n° 4512", "E-003", 4200, 2000, 324050},
    {230116, "Vente au comptant, caisse du jour", "E-004", 1000, 3200, 61230},
    {230120, "Fournitures de bureau (papeterie Dubois)", "E-005", 6500, 1000, 8790},
    {230125, "Facture client Müller & Cie", "E-006", 1100, 3200, 450000},
    {230131, "Frais de tenue de compte, janvier", "E-007", 6900, 1020, 1200},
    {230203, "Règlement fournisseur, facture n° 4512", "E-008", 2000, 1020, 324050},
};

void journal(Image& d) {
    const int n = int(std::size(kEntries));
    d.i16(kJournalInfo, 1);
    d.i16(kJournalInfo + 2, n);
    d.i16(kJournalInfo + 4, 0);
    d.i16(kJournalInfo + 6, n);
    for (int i = 1; i <= n; ++i) {
        const Entry& e = kEntries[i - 1];
        const size_t at = kJournal + 82 * size_t(i - 1);
        d.i16(at, i);
        d.i16(at + 2, i - 1);
        d.i16(at + 4, i == n ? 0 : i + 1);
        d.i32(at + 6, e.date);
        d.text(at + 10, e.label, 45);
        d.text(at + 56, e.ref, 5);
        d.i16(at + 64, e.debit);
        d.i16(at + 66, e.credit);
        d.i64(at + 68, e.amount);
        d.i8(at + 78, 0);
        d.boolean(at + 79, true);
    }
}

void plusX(const std::filesystem::path& out) {
    const int n = int(std::size(kEntries));
    Image d(kJournal + 82 * size_t(n));
    plusXHeader(d, n);
    currencies(d);
    accessRights(d);
    accounts(d);
    journal(d);
    d.save(out);
}

void v32(const std::filesystem::path& out) {
    Image d(1280);
    d.i16(0, 3200);
    firstHeaderBlock(d, 20457, 0, "Association des Amis du Léman");
    d.text(114, "Comptes annuels 2019", 75);
    currencies(d);
    d.save(out);
}

void pro(const std::filesystem::path& out) {
    // Header, currencies, access rights, account list information, 1002
    // account slots and the journal information of an empty journal.
    Image d(129804 + 16);
    d.i16(0, 6200);
    d.save(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path dir(argv[1]);
        std::filesystem::create_directories(dir);
        plusX(dir / "plus-x.qmkx");
        v32(dir / "v32.qmk3");
        pro(dir / "pro.qmkp");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-examples: %s\n", e.what());
        return 1;
    }
    return 0;
}
