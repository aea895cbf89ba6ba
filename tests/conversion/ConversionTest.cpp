// The conversion of one file, end to end: legacy documents built from field
// values, converted headless, and the written bytes checked.
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/MemoryFileSystem.h"
#include "support/FaultyFileSystem.h"
#include "support/LegacyDoc.h"
#include "support/OtherUser.h"
#include "writer/WriterSupport.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace qmk {
namespace {

using test::beAt;
using test::PlusXDoc;
using Names = std::set<std::string>;
namespace G = Globals;

using namespace test::pro;

// Returns at once, and notes what the user would see at every point where the
// worker gives way; can stop the worker at a chosen yield, as quitting does.
class TracePacer : public Pacer {
  public:
    explicit TracePacer(const ConversionHandoff& s) : s_(s) {}
    void Sleep(int ms) override {
        pauses.push_back(ms);
        note();
    }
    void Yield() override {
        if (++yields == cancelAtYield)
            throw ConversionCancelled();
        note();
    }
    std::vector<int> pauses;
    std::vector<std::string> seen; // status texts, each run of equal ones once
    long long yields = 0;
    long long cancelAtYield = -1;

  private:
    void note() {
        std::string st = s_.status();
        if (seen.empty() || seen.back() != st)
            seen.push_back(st);
    }
    const ConversionHandoff& s_;
};

class ConversionTest : public test::DocFolderTest {
  protected:
    TracePacer trace{h};
    ScopedPacer tracing{trace};
    // The real file system, where a test asks for faults.
    test::FaultyFileSystem faulty{RealFileSystem()};
    int timerStarts = 0;
    // What the run's document held when its conversion returned.
    struct Left {
        bool header = false;
        bool stream = false;
        bool streamOpen = false;
    } left;

    void run() { runOn(h); }
    void runOn(ConversionHandoff& on) {
        trace.pauses.clear();
        trace.seen.clear();
        left = {};
        convertThread_Run(
            on, [this] { ++timerStarts; },
            [this](ConversionDocument& d, ConversionHandoff& hh) {
                conversion(d, hh);
                left = {d.qmkaVrs != nullptr, d.fileBS != nullptr, d.fileBS && d.fileBS->IsOpen()};
            },
            faulty);
    }
};

enum class Road { PlusX, V32, HeaderOnly, Refused };

struct DispatchCase {
    const char* label;
    int word;
    const char* creator;
    Road road;
    const char* refusal; // for a refusal, the text after kUnknownFileType, or "" for kVersionPro
};

void PrintTo(const DispatchCase& c, std::ostream* os) {
    *os << c.label;
}

class DispatchTest : public ConversionTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchTest, EachVersionWordAndCreatorCodeTakesItsRoad) {
    const DispatchCase& c = GetParam();
    if (*c.creator)
        QMK_REQUIRE_CODES(dir.path());
    PlusXDoc doc;
    doc.version(c.word).titre("Doc").maxEcrCount(2).printTitle("Imprimer");
    source("ledger.qmkx", doc.bytes(), c.creator);
    run();

    EXPECT_EQ(timerStarts, 1);
    EXPECT_TRUE(h.converted.load());
    EXPECT_EQ(h.windowTitle(), G::kAppTitle);
    if (c.road == Road::Refused) {
        const std::string want = *c.refusal ? G::kUnknownFileType() + c.refusal : G::kVersionPro();
        EXPECT_EQ(h.errorMsg(), want);
        EXPECT_EQ(names(), Names{"ledger.qmkx"});
        EXPECT_TRUE(trace.pauses.empty());
        EXPECT_TRUE(left.header) << "a refusal keeps the header record";
        EXPECT_TRUE(left.streamOpen) << "and the open source";
        return;
    }
    EXPECT_EQ(h.errorMsg(), "");
    ASSERT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp"}));
    const std::string out = read("ledger.qmkp");
    EXPECT_EQ(h.status(), G::kConverted());
    EXPECT_FALSE(left.header);
    EXPECT_TRUE(left.stream);
    EXPECT_FALSE(left.streamOpen) << "the output, closed";
    switch (c.road) {
    case Road::PlusX:
        EXPECT_EQ(trace.pauses, (std::vector<int>{250, 250, 250, 300, 500, 250, 250}));
        EXPECT_EQ(trace.seen,
                  (std::vector<std::string>{G::kStatusHeader(), G::kStatusCurrencies(),
                                            G::kStatusAccess(), G::kStatusAccounts(),
                                            G::kStatusEcr(), G::kStatusSave(), G::kConverted()}));
        EXPECT_EQ(out.substr(26, 4), "\x03"
                                     "Doc");
        EXPECT_EQ(out.size(), documentSize(2));
        break;
    case Road::V32:
        EXPECT_EQ(trace.pauses, (std::vector<int>{500, 250, 250, 250}));
        EXPECT_EQ(trace.seen, (std::vector<std::string>{G::kStatusHeader(), G::kStatusCurrencies(),
                                                        G::kStatusSave(), G::kConverted()}));
        EXPECT_EQ(out.substr(26, 4), "\x03"
                                     "Doc");
        EXPECT_EQ(out.size(), documentSize(2));
        break;
    case Road::HeaderOnly:
        // Nothing is read: the header is the defaults' listing, byte for byte,
        // and the user never sees the header status.
        EXPECT_EQ(trace.pauses, (std::vector<int>{250, 250}));
        EXPECT_EQ(trace.seen, (std::vector<std::string>{G::kStatusSave(), G::kConverted()}));
        EXPECT_EQ(out.substr(0, 512), test::expectedDefaultHeader());
        EXPECT_EQ(out.size(), documentSize(8000));
        break;
    case Road::Refused:
        break;
    }
    EXPECT_EQ(beAt(out, 0, 2), 6200u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DispatchTest,
    ::testing::Values(DispatchCase{"Pro6200EvenAsQMKX", 6200, "QMKX", Road::Refused, ""},
                      DispatchCase{"Pro6201", 6201, "", Road::Refused, ""},
                      DispatchCase{"Pro6205", 6205, "", Road::Refused, ""},
                      DispatchCase{"PlusX4000", 4000, "", Road::PlusX, nullptr},
                      DispatchCase{"PlusX4001", 4001, "", Road::PlusX, nullptr},
                      DispatchCase{"PlusX4005EvenAsQMKA", 4005, "QMKA", Road::PlusX, nullptr},
                      DispatchCase{"V3200", 3200, "", Road::V32, nullptr},
                      DispatchCase{"V3201", 3201, "", Road::V32, nullptr},
                      DispatchCase{"V3205", 3205, "", Road::V32, nullptr},
                      DispatchCase{"Old3206", 3206, "", Road::HeaderOnly, nullptr},
                      DispatchCase{"Old1", 1, "", Road::HeaderOnly, nullptr},
                      DispatchCase{"Old3000", 3000, "", Road::HeaderOnly, nullptr},
                      DispatchCase{"Old3005", 3005, "", Road::HeaderOnly, nullptr},
                      DispatchCase{"Old2000", 2000, "", Road::HeaderOnly, nullptr},
                      DispatchCase{"Old1900EvenAsQMKX", 1900, "QMKX", Road::HeaderOnly, nullptr},
                      DispatchCase{"CreatorQMKX", 0, "QMKX", Road::PlusX, nullptr},
                      DispatchCase{"CreatorQMK5", 0, "QMK5", Road::PlusX, nullptr},
                      DispatchCase{"CreatorQMKG", 0, "QMKG", Road::PlusX, nullptr},
                      DispatchCase{"CreatorQMKA", 0, "QMKA", Road::HeaderOnly, nullptr},
                      DispatchCase{"CreatorCaseMatters", 0, "qmkx", Road::Refused, " (v. 0)"},
                      DispatchCase{"Unknown4002", 4002, "", Road::Refused, " (v. 4002)"},
                      DispatchCase{"UnknownFFFEIsNegative", -2, "", Road::Refused, " (v. -2)"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ConversionTest, TheTypeCodeIsNeverLookedAt) {
    QMK_REQUIRE_CODES(dir.path());
    auto p = source("ledger.qmkx", PlusXDoc().version(0).bytes());
    ASSERT_TRUE(FolderItem(p).SetMacTypeAndCreator("QMKX", "ABCD"));
    run();
    EXPECT_EQ(h.errorMsg(), G::kUnknownFileType() + " (v. 0)");
    EXPECT_EQ(names(), Names{"ledger.qmkx"});
}

TEST_F(ConversionTest, PlusXDocumentIsWrittenWithItsPatches) {
    QMK_REQUIRE_CODES(dir.path());
    PlusXDoc doc;
    doc.maxEcrCount(3).wOrdre({5, 0, 7, -1, 9});
    doc.currency(1, {.long1 = 7, .wide1 = -1, .wide2 = -2});
    doc.currency(2, {.wide1 = 4294967296LL, .wide2 = -4294967297LL});
    doc.access(0, std::string(2, '\0') + "\x12\x34" + "droits");
    doc.accountInfo(-1, 2, 3, 4);
    doc.account(1, {.recNo = 1, .nextRec = 2, .name = "Banque", .wide1 = -1});
    doc.account(2, {.recNo = 2, .prevRec = 1, .name = "Caisse", .wide1 = (1LL << 32) + 5});
    doc.journalInfo(5, 6, 7, -8);
    doc.journal(1, {.recNo = 1, .nextRec = 2, .label = "Ouverture", .wide1 = 5, .byte1 = 7});
    doc.journal(2, {.recNo = 2, .wide1 = 4294967296LL, .byte1 = 7});
    doc.journal(3, {.recNo = 3, .wide1 = -1, .byte1 = 7});
    source("ledger.qmkx", doc.bytes());
    run();
    ASSERT_EQ(h.errorMsg(), "");
    const std::string out = read("ledger.qmkp");

    EXPECT_EQ(out.size(), documentSize(3));
    EXPECT_EQ(out.substr(254, 20), std::string("\0\x05\0\x07\0\x09", 6) + std::string(14, '\0'));
    // Currencies: high bytes cleared below 2^32, kept above; slot 32 zero.
    EXPECT_EQ(beAt(out, kCurrencies, 4), 7u);
    EXPECT_EQ(beAt(out, kCurrencies + 6, 8), 0xFFFFFFFFu);
    EXPECT_EQ(beAt(out, kCurrencies + 14, 8), 0xFFFFFFFEu);
    EXPECT_EQ(beAt(out, currencyAt(2) + 6, 8), 0x100000000ULL);
    EXPECT_EQ(beAt(out, currencyAt(2) + 14, 8), 0xFFFFFFFFu);
    EXPECT_EQ(out.substr(currencyAt(32), 24), std::string(24, '\0'));
    EXPECT_EQ(beAt(out, kAccess + 2, 2), 0x1234u);
    // Account information sign-extended to 32 bits; accounts patched; free chain.
    EXPECT_EQ(beAt(out, kAccountInfo, 4), 0xFFFFFFFFu);
    EXPECT_EQ(beAt(out, kAccountInfo + 12, 4), 4u);
    EXPECT_EQ(out.substr(accountAt(1) + 24, 7), "\x06"
                                                "Banque");
    EXPECT_EQ(beAt(out, accountAt(1) + 68, 8), 0xFFFFFFFFu);
    EXPECT_EQ(beAt(out, accountAt(2) + 68, 8), 5u);
    EXPECT_EQ(beAt(out, accountAt(1000) + 8, 4), 1001u);
    EXPECT_EQ(beAt(out, accountAt(1001), 4), 1001u);
    EXPECT_EQ(beAt(out, accountAt(1001) + 4, 4), 1000u);
    EXPECT_EQ(beAt(out, accountAt(1001) + 8, 4), 1002u);
    // Journal: information, then the records directly after it.
    EXPECT_EQ(beAt(out, kJournalInfo, 4), 5u);
    EXPECT_EQ(beAt(out, kJournalInfo + 12, 4), 0xFFFFFFF8u);
    EXPECT_EQ(beAt(out, entryAt(1), 4), 1u);
    EXPECT_EQ(out.substr(entryAt(1) + 16, 10), "\x09Ouverture");
    const uint64_t want100[] = {0, 7, 0};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(beAt(out, entryAt(i) + 100, 1), want100[i - 1]) << "entry " << i;
        EXPECT_EQ(beAt(out, entryAt(i) + 104, 4), 0u) << "entry " << i;
    }
    EXPECT_EQ(out.substr(entryAt(3) + 92, 8), std::string(8, '\xFF'));
    EXPECT_EQ(h.newFile()->MacCreator(), "QMKP");
    EXPECT_EQ(h.newFile()->MacType(), "QMKP");
}

// The largest count a legacy header holds: every entry is written, the last one
// where the count puts it, and the document ends right after it.
TEST_F(ConversionTest, TheLargestJournalIsWrittenWhole) {
    constexpr int kLast = 0x7FFF;
    PlusXDoc doc;
    doc.maxEcrCount(kLast);
    doc.journal(1, {.recNo = 1, .nextRec = 2, .label = "Ouverture"});
    doc.journal(kLast, {.recNo = kLast, .prevRec = kLast - 1, .label = "Cl\xF4ture", .wide1 = 9});
    source("grand.qmkx", doc.bytes());
    run();
    ASSERT_EQ(h.errorMsg(), "");
    const std::string out = read("grand.qmkp");

    ASSERT_EQ(out.size(), documentSize(kLast));
    EXPECT_EQ(beAt(out, 10, 4), uint64_t(kLast)) << "the count in the header";
    EXPECT_EQ(out.substr(entryAt(1) + 16, 10), "\x09Ouverture");
    EXPECT_EQ(beAt(out, entryAt(kLast), 4), uint64_t(kLast));
    EXPECT_EQ(beAt(out, entryAt(kLast) + 4, 4), uint64_t(kLast - 1));
    EXPECT_EQ(beAt(out, entryAt(kLast) + 8, 4), 0u) << "the last entry ends the chain";
    EXPECT_EQ(out.substr(entryAt(kLast) + 16, 8), "\x07"
                                                  "Cl\xF4ture");
    EXPECT_EQ(beAt(out, entryAt(kLast) + 92, 8), 9u);
}

#ifdef __linux__
// Counts the sched_yield system calls of the thread that constructs it, and of
// no other: a filter of that thread turns each into a signal, whose handler
// counts. The filter stays with the thread, so it is made on one that ends.
class SchedYieldCounter {
  public:
    SchedYieldCounter() {
        struct sigaction sa = {};
        sa.sa_sigaction = [](int, siginfo_t* si, void*) {
            if (si->si_syscall == __NR_sched_yield)
                calls_.fetch_add(1);
        };
        sa.sa_flags = SA_SIGINFO;
        if (::sigaction(SIGSYS, &sa, &previous_) != 0)
            return;
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sched_yield, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog prog = {static_cast<unsigned short>(std::size(filter)), filter};
        installed_ = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                     ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &prog) == 0;
    }
    ~SchedYieldCounter() { ::sigaction(SIGSYS, &previous_, nullptr); }
    bool installed() const { return installed_; }
    long long calls() const { return calls_.load(); }

  private:
    static inline std::atomic<long long> calls_{0};
    struct sigaction previous_ = {};
    bool installed_ = false;
};

// The real worker on the largest document: it looks for a stop at the end of
// every record, but a system call there would be one per record, over a hundred
// thousand for this document, and tens of milliseconds out of its pace.
TEST_F(ConversionTest, TheRealWorkerGivesWayWithoutASystemCallPerRecord) {
    source("grand.qmkx", PlusXDoc().maxEcrCount(0x7FFF).bytes());
    // The real give-way; the pauses are skipped, as they are not what is counted.
    struct Counting : RealPacer {
        long long yields = 0;
        void Sleep(int) override {}
        void Yield() override {
            ++yields;
            RealPacer::Yield();
        }
    } real;
    bool installed = false;
    long long calls = -1;
    std::thread worker([&] {
        ScopedPacer use(real);
        SchedYieldCounter counter;
        installed = counter.installed();
        if (!installed)
            return;
        convertThread_Run(h, {}, conversion, faulty);
        calls = counter.calls();
    });
    worker.join();
    if (!installed)
        GTEST_SKIP() << "no system call filter on this machine";
    ASSERT_EQ(h.errorMsg(), "");
    ASSERT_GT(real.yields, 100000) << "a give-way at the end of every record";
    EXPECT_LE(calls, real.yields / 1000) << "of " << real.yields << " give-ways";

    // A stop is still seen at the next give-way.
    real.Stop();
    ScopedPacer use(real);
    EXPECT_THROW(YieldNow(), ConversionCancelled);
}

// A drop box: a folder its user may write in but not list (mode 0300). Its user
// converts a document there, in a process of its own, on both roads of
// publishing: the document is there, whole, and nothing else is.
TEST_F(ConversionTest, AFolderOneMayWriteInButNotListGetsItsDocument) {
    const auto who = test::OtherUser::nobody();
    if (!who)
        GTEST_SKIP() << "needs root, to convert as another user";
    PlusXDoc doc;
    doc.maxEcrCount(3).account(1, {.recNo = 1, .name = "Banque"});
    source("ledger.qmkx", doc.bytes());
    run();
    ASSERT_EQ(h.errorMsg(), "");
    const std::string want = read("ledger.qmkp");
    // The other user may pass through the scratch folder to the drop box.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);

    for (bool fallback : {false, true}) {
        SCOPED_TRACE(fallback ? "hidden temporary" : "unnamed file");
        const auto box = dir.path() / (fallback ? "drop box, fallback" : "drop box");
        std::filesystem::create_directory(box);
        const auto src = box / "ledger.qmkx";
        std::ofstream(src, std::ios::binary) << doc.bytes();
        ASSERT_EQ(::chown(src.c_str(), who->uid, who->gid), 0);
        ASSERT_EQ(::chmod(src.c_str(), 0600), 0);
        ASSERT_EQ(::chown(box.c_str(), who->uid, who->gid), 0);
        ASSERT_EQ(::chmod(box.c_str(), 0300), 0);
        faulty.setHook(fallback ? test::FsHook(test::withoutUnnamedFilesOrNoReplaceRename)
                                : test::FsHook());

        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(report[0]);
            std::string said = "could not become the other user";
            if (who->become()) {
                InstantPacer instant;
                ScopedPacer use(instant);
                ConversionHandoff other;
                other.setFileToConvert(FolderItem(src));
                convertThread_Run(other, {}, conversion, faulty);
                said = "done " + other.errorMsg();
            }
            [[maybe_unused]] auto w = ::write(report[1], said.data(), said.size());
            ::_exit(0);
        }
        ::close(report[1]);
        ASSERT_GT(pid, 0);
        std::string said;
        char buf[512];
        for (ssize_t n; (n = ::read(report[0], buf, sizeof buf)) > 0;)
            said.append(buf, size_t(n));
        ::close(report[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        faulty.setHook({});

        EXPECT_EQ(said, "done ");
        Names got;
        for (const auto& e : std::filesystem::directory_iterator(box))
            got.insert(e.path().filename().string());
        EXPECT_EQ(got, (Names{"ledger.qmkx", "ledger.qmkp"}));
        EXPECT_TRUE(test::TempDir::read(box / "ledger.qmkp") == want);
        struct stat st;
        ASSERT_EQ(::stat((box / "ledger.qmkp").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, who->uid) << "the document is its user's";
    }
}
#endif

// Every file is converted as if it were the first of the run.
TEST_F(ConversionTest, AFileAfterAPlusXFileCarriesNoneOfItsData) {
    PlusXDoc rich;
    rich.maxEcrCount(2).accountInfo(1, 2, 3, 4).journalInfo(1, 2, 3, 4);
    rich.currency(1, {.long1 = 1}).currency(2, {.long1 = 2});
    rich.access(3, std::string(42, 'A'));
    rich.account(5, {.recNo = 5, .name = "Client secret"});
    rich.journal(1, {.recNo = 1, .label = "Facture"}).journal(2, {.recNo = 2, .label = "Avoir"});

    test::Doc32 v32;
    v32.maxEcrCount(3).currency(1, {.long1 = 9});
    const std::string old = PlusXDoc().version(1900).bytes();

    for (const auto& [label, bytes] : {std::pair{"3.2", v32.bytes()}, std::pair{"1900", old}}) {
        SCOPED_TRACE(label);
        // The document as the first file of a run gives it...
        ConversionHandoff first;
        first.setFileToConvert(FolderItem(dir.write("alone.qmkx", bytes)));
        convertThread_Run(first, {});
        ASSERT_EQ(first.errorMsg(), "");
        const std::string alone = read("alone.qmkp");
        // ...and after a Plus / X document in the same run.
        source("rich.qmkx", rich.bytes());
        run();
        ASSERT_EQ(h.errorMsg(), "");
        source("after.qmkx", bytes);
        run();
        ASSERT_EQ(h.errorMsg(), "");
        EXPECT_TRUE(read("after.qmkp") == alone) << "the second document differs from a first one";
        for (auto n :
             {"alone.qmkx", "alone.qmkp", "rich.qmkx", "rich.qmkp", "after.qmkx", "after.qmkp"})
            std::filesystem::remove(dir.path() / n);
    }
}

TEST_F(ConversionTest, ErrorsOnTheWayEndTheFileWithAFrenchMessage) {
    std::filesystem::create_directory(dir.path() / "dossier.qmkx");
    struct Case {
        const char* label;
        std::optional<FolderItem> file;
        std::string want;
    };
    const Case cases[] = {
        {"folder", FolderItem(dir.path() / "dossier.qmkx"),
         "impossible d'ouvrir « " + (dir.path() / "dossier.qmkx").string() +
             " » (c'est un dossier, pas un document)"},
        {"missing", FolderItem(dir.path() / "absent.qmkx"),
         "impossible d'ouvrir « " + (dir.path() / "absent.qmkx").string() +
             " » (fichier ou dossier introuvable)"},
        {"plus/x negative count",
         FolderItem(dir.write("neg.qmkx", PlusXDoc().maxEcrCount(0x8000).bytes())),
         G::kNegativeEcrCount() + "-32768"},
        {"3.2 negative count",
         FolderItem(dir.write("neg32.qmkx", test::Doc32().maxEcrCount(0xFFFF).bytes())),
         G::kNegativeEcrCount() + "-1"},
        {"no current file", std::nullopt, "aucun fichier à convertir"},
    };
    const Names before = names();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        h.setFileToConvert(c.file);
        run();
        EXPECT_EQ(h.takeErrorMsg(), G::kConversionFailed() + c.want);
        EXPECT_TRUE(h.converted.load()) << "the batch must go on";
        EXPECT_EQ(h.windowTitle(), G::kAppTitle);
        EXPECT_EQ(names(), before) << "nothing is written";
        EXPECT_FALSE(h.newFile());
    }
    // The next file of the batch converts as usual.
    source("ok.qmkx", PlusXDoc().maxEcrCount(1).bytes());
    run();
    EXPECT_EQ(h.errorMsg(), "");
    EXPECT_EQ(h.newFile()->Name(), "ok.qmkp");
}

// What a run writes on the standard error output: fd 2 goes to a file meanwhile.
class StandardErrorCapture {
  public:
    StandardErrorCapture() : file_(std::tmpfile()), saved_(::dup(STDERR_FILENO)) {
        if (!file_ || saved_ < 0 || ::dup2(::fileno(file_), STDERR_FILENO) < 0)
            ADD_FAILURE() << "cannot capture the standard error output";
    }
    ~StandardErrorCapture() {
        restore();
        if (file_)
            std::fclose(file_);
    }
    // Ends the capture; what was written.
    std::string text() {
        restore();
        std::string out;
        if (!file_)
            return out;
        std::rewind(file_);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;)
            out.append(buf, n);
        return out;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    std::FILE* file_;
    int saved_;
};

// A failure nobody foresaw: the row stays French, and the library's own text
// goes to the standard error output, one line naming the file, for a bug report.
// Failures with a French cause of their own write nothing there.
TEST_F(ConversionTest, AnUnforeseenFailureGivesAFrenchRowAndItsTextGoesToStandardError) {
    const auto src = source("ledger.qmkx", PlusXDoc().maxEcrCount(1).bytes());
    const std::string prefix =
        "quillmark-pro-converter : erreur interne en convertissant " + src.string() + " : ";
    struct Case {
        const char* label;
        std::function<void()> raise;
        std::string row;    // after kConversionFailed
        std::string report; // the line on the standard error output, or none
    };
    const Case cases[] = {
        {"standard exception", [] { throw std::length_error("vector::reserve"); }, "erreur interne",
         prefix + "vector::reserve\n"},
        {"its text on two lines", [] { throw std::runtime_error("first\nsecond"); },
         "erreur interne", prefix + "first?second\n"},
        {"not a standard exception", [] { throw 42; }, "erreur inconnue",
         "quillmark-pro-converter : erreur inconnue en convertissant " + src.string() + "\n"},
        {"French cause", [] { throw ConversionError("disque plein"); }, "disque plein", ""},
        {"out of memory", [] { throw std::bad_alloc(); }, "mémoire insuffisante", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        StandardErrorCapture captured;
        convertThread_Run(
            h, {}, [&](ConversionDocument&, ConversionHandoff&) { c.raise(); }, faulty);
        EXPECT_EQ(captured.text(), c.report);
        EXPECT_EQ(h.takeErrorMsg(), G::kConversionFailed() + c.row);
        EXPECT_TRUE(h.converted.load()) << "the batch goes on";
    }
    EXPECT_EQ(names(), Names{"ledger.qmkx"});
}

// A document that ends before what its edition's reader takes is not converted as
// if the rest were zeros: it fails with its length and the length needed (or,
// cut inside the header, the offset where the header stopped), before any pause,
// without touching its folder. Beside each cut, the document of exact length and
// a longer one convert to the same bytes.
TEST_F(ConversionTest, ATruncatedDocumentFailsWithItsLengthAndNothingIsWritten) {
    PlusXDoc plusX;
    plusX.titre("Cabinet").maxEcrCount(3).printTitle("Impression").lastBackup("991231", 4, 1);
    plusX.currency(1, {.long1 = 1, .wide1 = 7}).access(0, std::string(42, 'a'));
    plusX.accountInfo(1, 1, 1, 0).account(1, {.recNo = 1, .name = "Caisse"});
    plusX.journalInfo(3, 1, 3, 0);
    for (int i = 1; i <= 3; ++i)
        plusX.journal(i, {.recNo = int16_t(i), .label = "Écriture", .wide1 = 100 * i});
    const size_t plusXFull = 129692 + 3 * 82; // the last journal record's end
    ASSERT_EQ(plusX.size(), plusXFull);
    test::Doc32 v32;
    v32.titre("Amis").printTitle("Bilan").currency(31, {.long1 = 9});
    const size_t v32Full = 1256; // the currencies' end
    ASSERT_EQ(v32.size(), v32Full);
    const std::string longer = plusX.bytes() + std::string(50, '\x5A');

    const auto cut = [](size_t n, size_t m) {
        return G::kConversionFailed() + "document tronqué (" + std::to_string(n) + " octets, " +
               "il en faut " + std::to_string(m) + ")";
    };
    const struct {
        const char* label;
        std::string bytes;
        const char* creator;
        std::string want; // the error row, or "" for a document that converts
    } cases[] = {
        {"header, before the journal count", plusX.truncated(9), "", cut(9, 10)},
        {"header, inside the print title", plusX.truncated(165), "", cut(165, 171)},
        {"header, in the bytes it skips", plusX.truncated(300), "", cut(300, 342)},
        {"header, inside the backup date", plusX.truncated(358), "", cut(358, 361)},
        {"header, its last byte missing", plusX.truncated(363), "", cut(363, 364)},
        {"header complete, nothing after", plusX.truncated(364), "", cut(364, plusXFull)},
        {"inside the currencies", plusX.truncated(700), "", cut(700, plusXFull)},
        {"inside the access rights", plusX.truncated(1300), "", cut(1300, plusXFull)},
        {"inside the account list information", plusX.truncated(1535), "", cut(1535, plusXFull)},
        {"inside the account block", plusX.truncated(65585), "", cut(65585, plusXFull)},
        {"inside the journal's list information", plusX.truncated(129680), "",
         cut(129680, plusXFull)},
        {"before the first journal record", plusX.truncated(129692), "", cut(129692, plusXFull)},
        {"inside the last journal record", plusX.truncated(129896), "", cut(129896, plusXFull)},
        {"one byte short", plusX.truncated(plusXFull - 1), "", cut(plusXFull - 1, plusXFull)},
        {"Plus / X of exact length", plusX.bytes(), "", ""},
        {"Plus / X, longer", longer, "", ""},
        {"known by its creator code, cut", PlusXDoc(plusX).version(0).truncated(1000), "QMKX",
         cut(1000, plusXFull)},
        {"3.2, inside the print title", v32.truncated(117), "", cut(117, 120)},
        {"3.2, inside the currencies", v32.truncated(700), "", cut(700, v32Full)},
        {"3.2, one byte short", v32.truncated(v32Full - 1), "", cut(v32Full - 1, v32Full)},
        {"3.2 of exact length", v32.bytes(), "", ""},
        // Older editions and "QMKA" read nothing past the version word.
        {"status-only edition, the version word alone", std::string("\x07\x6c", 2), "", ""},
        {"QMKA, the version word alone", std::string(2, '\0'), "QMKA", ""},
        // No version word: cut short too. French counts 0 and 1 in the singular.
        {"empty file", "", "", G::kConversionFailed() + "document tronqué (0 octet, il en faut 2)"},
        {"one byte", "\x0f", "QMKA",
         G::kConversionFailed() + "document tronqué (1 octet, il en faut 2)"},
    };

    using test::FsOp;
    std::vector<FsOp> ops;
    faulty.setHook([&](FsOp op, const std::string&) {
        ops.push_back(op);
        return 0;
    });
    const bool codes = test::supportsCodes(dir.path());
    std::map<std::string, std::string> written; // by the label of the document converted
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (*c.creator && !codes) {
            std::fprintf(stderr, "skipped \"%s\": %s keeps no type and creator codes\n", c.label,
                         dir.path().c_str());
            continue;
        }
        source("ledger.qmkx", c.bytes, c.creator);
        ops.clear();
        run();
        EXPECT_TRUE(h.converted.load()) << "the batch goes on";
        EXPECT_EQ(h.windowTitle(), G::kAppTitle);
        if (c.want.empty()) {
            EXPECT_EQ(h.takeErrorMsg(), "");
            ASSERT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp"}));
            written[c.label] = read("ledger.qmkp");
            std::filesystem::remove(dir.path() / "ledger.qmkp");
            continue;
        }
        EXPECT_EQ(h.takeErrorMsg(), c.want);
        EXPECT_EQ(names(), Names{"ledger.qmkx"}) << "nothing is written";
        EXPECT_EQ(read("ledger.qmkx"), c.bytes);
        EXPECT_TRUE(trace.pauses.empty()) << "it fails before the first pause";
        for (FsOp op : ops) // only the source was opened and read: not even a temporary
            EXPECT_TRUE(op == FsOp::OpenRead || op == FsOp::Read || op == FsOp::Stat ||
                        op == FsOp::ReadCodes || op == FsOp::Close)
                << "the folder was touched: " << test::opName(op);
    }
    EXPECT_EQ(written["Plus / X, longer"], written["Plus / X of exact length"]);
    EXPECT_EQ(written["Plus / X of exact length"].size(), documentSize(3));
    EXPECT_EQ(written["3.2 of exact length"].size(), documentSize(0));
}

// The message names the source, the document, the document under the name it
// took after another program took the first one, or the hidden temporary.
enum class Names_ { Source, Document, PassedOver, Temporary };

struct Fault {
    const char* label;
    test::FsOp op;
    int nth;                // fail the nth call of this operation…
    bool onSource;          // …on the source, or on the output
    bool fallback;          // on a file system without unnamed files or no-replace renames
    Names_ named;           // the file the message names
    bool nameTaken = false; // another program takes ledger.qmkp as the document is named
    int umask = -1;         // the umask of the run, or -1 for the process's own
};

void PrintTo(const Fault& f, std::ostream* os) {
    *os << f.label;
}

class FaultTest : public ConversionTest, public ::testing::WithParamInterface<Fault> {};

// Each operation of the road fails in turn, as on a full or read-only disk: the
// file ends with a French message that names the file the user knows, and the
// folder is as it was.
TEST_P(FaultTest, AFailingOperationLeavesNothingBehind) {
    const Fault& f = GetParam();
    PlusXDoc doc;
    doc.maxEcrCount(3).account(1, {.recNo = 1, .name = "Banque"});
    const auto src = source("ledger.qmkx", doc.bytes());
    int calls = 0;
    const auto firstName = dir.path() / "ledger.qmkp";
    faulty.setHook([&](test::FsOp op, const std::string& what) {
        const bool naming = op == test::FsOp::LinkUnnamed || op == test::FsOp::RenameNoReplace ||
                            op == test::FsOp::Link;
        if (f.nameTaken && naming && what == "ledger.qmkp" && !std::filesystem::exists(firstName))
            dir.write("ledger.qmkp", "someone else's");
        if (f.fallback)
            if (int e = test::withoutUnnamedFilesOrNoReplaceRename(op, what))
                return e;
        if (op != f.op || (what == src.string()) != f.onSource)
            return 0;
        return ++calls == f.nth ? ENOSPC : 0;
    });
    const mode_t before = f.umask < 0 ? 0 : ::umask(static_cast<mode_t>(f.umask));
    run();
    if (f.umask >= 0)
        ::umask(before);
    faulty.setHook({});

    ASSERT_GE(calls, f.nth) << "the operation was never reached";
    const std::string msg = h.errorMsg();
    EXPECT_EQ(msg.rfind(G::kConversionFailed(), 0), 0u) << msg;
    EXPECT_NE(msg.find(FrenchErrnoText(ENOSPC)), std::string::npos) << msg;
    switch (f.named) {
    case Names_::Source:
        EXPECT_NE(msg.find("« " + src.string() + " »"), std::string::npos) << msg;
        break;
    case Names_::Document:
        EXPECT_NE(msg.find("« " + (dir.path() / "ledger.qmkp").string() + " »"), std::string::npos)
            << msg;
        EXPECT_EQ(msg.find(".tmp"), std::string::npos) << msg;
        break;
    case Names_::PassedOver:
        EXPECT_NE(msg.find("« " + (dir.path() / "ledger_1.qmkp").string() + " »"),
                  std::string::npos)
            << msg;
        EXPECT_EQ(msg.find(".tmp"), std::string::npos) << msg;
        break;
    case Names_::Temporary:
        EXPECT_NE(msg.find("« " + (dir.path() / ".qmkp-").string()), std::string::npos) << msg;
        break;
    }
    EXPECT_TRUE(h.converted.load());
    if (f.nameTaken) {
        EXPECT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp"}));
        EXPECT_EQ(read("ledger.qmkp"), "someone else's");
    } else {
        EXPECT_EQ(names(), Names{"ledger.qmkx"});
    }
    EXPECT_EQ(read("ledger.qmkx"), doc.bytes());
    EXPECT_FALSE(h.newFile());
}

using test::FsOp;
INSTANTIATE_TEST_SUITE_P(
    Operations, FaultTest,
    ::testing::Values(
        Fault{"OpenSource", FsOp::OpenRead, 1, true, false, Names_::Source},
        Fault{"StatSource", FsOp::Stat, 1, true, false, Names_::Source},
        Fault{"ReadVersionWord", FsOp::Read, 1, true, false, Names_::Source},
        Fault{"ReadHeader", FsOp::Read, 3, true, false, Names_::Source},
        Fault{"LateRead", FsOp::Read, 300, true, false, Names_::Source},
        Fault{"CreateUnnamed", FsOp::CreateUnnamed, 1, false, false, Names_::Document},
        Fault{"StatDocument", FsOp::Stat, 1, false, false, Names_::Document},
        // A umask that takes the owner's write: it must be given back.
        Fault{"OwnerRights", FsOp::SetPermissions, 1, false, false, Names_::Document, false, 0277},
        Fault{"WriteCodes", FsOp::WriteCodes, 1, false, false, Names_::Document},
        Fault{"FirstWrite", FsOp::Write, 1, false, false, Names_::Document},
        Fault{"AccountWrite", FsOp::Write, 900, false, false, Names_::Document},
        Fault{"JournalWrite", FsOp::Write, 1060, false, false, Names_::Document},
        Fault{"Sync", FsOp::Sync, 1, false, false, Names_::Document},
        Fault{"Naming", FsOp::LinkUnnamed, 1, false, false, Names_::Document},
        Fault{"Close", FsOp::Close, 1, false, false, Names_::Document},
        Fault{"NamingAfterPassingOver", FsOp::LinkUnnamed, 2, false, false, Names_::PassedOver,
              true},
        Fault{"CloseAfterPassingOver", FsOp::Close, 1, false, false, Names_::PassedOver, true},
        Fault{"FallbackCreate", FsOp::CreateNew, 1, false, true, Names_::Document},
        Fault{"FallbackOwnerRights", FsOp::SetPermissions, 1, false, true, Names_::Document, false,
              0277},
        Fault{"FallbackWrite", FsOp::Write, 500, false, true, Names_::Document},
        Fault{"FallbackSync", FsOp::Sync, 1, false, true, Names_::Document},
        Fault{"FallbackLink", FsOp::Link, 1, false, true, Names_::Document},
        Fault{"FallbackRemoveTemporary", FsOp::Unlink, 1, false, true, Names_::Temporary},
        Fault{"FallbackClose", FsOp::Close, 1, false, true, Names_::Document},
        Fault{"FallbackLinkAfterPassingOver", FsOp::Link, 2, false, true, Names_::PassedOver, true},
        Fault{"FallbackCloseAfterPassingOver", FsOp::Close, 1, false, true, Names_::PassedOver,
              true}),
    [](const auto& info) { return std::string(info.param.label); });

// The fuzz target converts in memory: what it finds must hold on the disk, so
// both give the same document, codes included.
TEST_F(ConversionTest, InMemoryTheSameDocumentIsWritten) {
    QMK_REQUIRE_CODES(dir.path());
    for (const char* creator : {"", "QMKA"}) {
        SCOPED_TRACE(creator);
        const std::string bytes =
            *creator ? PlusXDoc().version(0).bytes() : PlusXDoc().maxEcrCount(4).bytes();
        source("ledger.qmkx", bytes, creator);
        run();
        ASSERT_EQ(h.errorMsg(), "");
        const std::string onDisk = read("ledger.qmkp");

        MemoryFileSystem mem;
        const std::filesystem::path src = "/mem/ledger.qmkx";
        mem.put(src, bytes);
        if (*creator)
            mem.setCodes(src, "TEXT", creator);
        ConversionHandoff inMemory;
        inMemory.setFileToConvert(FolderItem(src));
        convertThread_Run(inMemory, {}, conversion, mem);
        ASSERT_EQ(inMemory.errorMsg(), "");
        EXPECT_EQ(inMemory.newFile(), FolderItem("/mem/ledger.qmkp"));
        const auto doc = mem.find("/mem/ledger.qmkp");
        ASSERT_TRUE(doc);
        EXPECT_TRUE(doc->contents() == onDisk);
        EXPECT_EQ(std::string(doc->finderInfo.data(), 8), "QMKPQMKP");
        EXPECT_EQ(mem.paths().size(), 2u);
        std::filesystem::remove(dir.path() / "ledger.qmkp");
    }
}

// The owner can always read and write the document, also from a read-only
// source and under a umask that takes the owner's own bits; group and others get
// no more than the source gave them, less the umask (private books stay private).
// On both roads of publishing, and in memory, where there is no umask.
TEST_F(ConversionTest, TheOwnerCanWriteTheDocumentAndOthersGetNoMoreThanTheSourceGave) {
    const struct {
        unsigned source, umask, document;
    } cases[] = {
        {0444, 022, 0644},  {0400, 022, 0600}, {0640, 022, 0640},  {0644, 022, 0644},
        {0600, 022, 0600},  {0666, 022, 0644}, {0755, 022, 0644},  {0444, 077, 0600},
        {0640, 077, 0600},  {0666, 077, 0600}, {0444, 0277, 0600}, {0644, 0222, 0644},
        {0666, 0777, 0600}, {0444, 0, 0644},   {0400, 0, 0600},    {0640, 0, 0640},
        {0666, 0, 0666},
    };
    const auto octal = [](unsigned mode) {
        char text[8];
        std::snprintf(text, sizeof text, "%04o", mode);
        return std::string(text);
    };
    enum class Road { Unnamed, Fallback, Memory };
    for (Road road : {Road::Unnamed, Road::Fallback, Road::Memory}) {
        for (const auto& c : cases) {
            if (road == Road::Memory && c.umask != 0)
                continue;
            char label[64];
            std::snprintf(label, sizeof label, "%s, source %04o, umask %04o",
                          road == Road::Unnamed    ? "unnamed"
                          : road == Road::Fallback ? "fallback"
                                                   : "memory",
                          c.source, c.umask);
            SCOPED_TRACE(label);
            if (road == Road::Memory) {
                MemoryFileSystem mem;
                mem.put("/mem/ledger.qmkx", PlusXDoc().maxEcrCount(1).bytes(), c.source);
                ConversionHandoff inMemory;
                inMemory.setFileToConvert(FolderItem("/mem/ledger.qmkx"));
                convertThread_Run(inMemory, {}, conversion, mem);
                ASSERT_EQ(inMemory.errorMsg(), "");
                const auto doc = mem.find("/mem/ledger.qmkp");
                ASSERT_TRUE(doc);
                EXPECT_EQ(octal(doc->permissions), octal(c.document));
                continue;
            }
            const auto src = source("ledger.qmkx", PlusXDoc().maxEcrCount(1).bytes());
            ASSERT_EQ(::chmod(src.c_str(), c.source), 0);
            faulty.setHook(road == Road::Fallback
                               ? test::FsHook(test::withoutUnnamedFilesOrNoReplaceRename)
                               : test::FsHook());
            const mode_t before = ::umask(c.umask);
            run();
            ::umask(before);
            faulty.setHook({});
            ASSERT_EQ(h.errorMsg(), "");
            EXPECT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp"}));
            struct stat st;
            ASSERT_EQ(::stat((dir.path() / "ledger.qmkp").c_str(), &st), 0);
            EXPECT_EQ(octal(st.st_mode & 07777), octal(c.document));
            std::filesystem::remove(dir.path() / "ledger.qmkp");
            std::filesystem::remove(src);
        }
    }
}

// A file system without Unix modes refuses to change them: the document is
// made all the same, with what that file system gives its files.
TEST_F(ConversionTest, AFileSystemThatRefusesModesStillGetsItsDocument) {
    for (int refusal : {EPERM, EOPNOTSUPP}) {
        SCOPED_TRACE(FrenchErrnoText(refusal));
        const auto src = source("ledger.qmkx", PlusXDoc().maxEcrCount(1).bytes());
        ASSERT_EQ(::chmod(src.c_str(), 0444), 0);
        int asked = 0;
        faulty.setHook([&](test::FsOp op, const std::string&) {
            return op == test::FsOp::SetPermissions ? (++asked, refusal) : 0;
        });
        const mode_t before = ::umask(0277); // leaves the owner read-only: the mode is asked for
        run();
        ::umask(before);
        faulty.setHook({});
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(h.errorMsg(), "");
        EXPECT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp"}));
        std::filesystem::remove(dir.path() / "ledger.qmkp");
        std::filesystem::remove(src);
    }
}

// A FIFO among the files of a batch: it is refused at once with a French
// message, and the files after it convert; nothing waits on it.
TEST_F(ConversionTest, AFifoInABatchIsRefusedAndTheBatchGoesOn) {
    const auto first = dir.write("1.qmkx", PlusXDoc().maxEcrCount(1).bytes());
    const auto fifo = dir.path() / "2.qmkx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto third = dir.write("3.qmkx", test::Doc32().maxEcrCount(1).bytes());

    std::vector<std::string> messages;
    std::atomic<bool> done{false};
    std::thread batch([&] {
        ScopedPacer instant(pacer);
        for (const auto& f : {first, fifo, third}) {
            h.setFileToConvert(FolderItem(f));
            convertThread_Run(h, {});
            messages.push_back(h.takeErrorMsg());
        }
        done = true;
    });
    for (int i = 0; i < 600 && !done.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done.load()) {
        ADD_FAILURE() << "the batch hangs on the FIFO";
        // Give the blocked open its writer, so the test can end.
        const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        batch.join();
        ::close(w);
        return;
    }
    batch.join();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "");
    EXPECT_EQ(messages[1], G::kConversionFailed() + "impossible d'ouvrir « " + fifo.string() +
                               " » (c'est un tube nommé, pas un document)");
    EXPECT_EQ(messages[2], "");
    EXPECT_EQ(names(), (Names{"1.qmkx", "1.qmkp", "2.qmkx", "3.qmkx", "3.qmkp"}));
}

TEST_F(ConversionTest, QuittingMidSaveLeavesNothingBehind) {
    // Version word 1900: every yield of the file is one of the save's.
    const std::string bytes = PlusXDoc().version(1900).bytes();
    source("ledger.qmkx", bytes);
    for (long long at : {1LL, 5LL, 40LL, 1000LL, 6000LL}) {
        SCOPED_TRACE("stopped at yield " + std::to_string(at));
        trace.yields = 0;
        trace.cancelAtYield = at;
        ConversionHandoff quitting; // a stopped body keeps its hand-off busy
        quitting.setFileToConvert(h.fileToConvert());
        runOn(quitting);
        EXPECT_EQ(names(), Names{"ledger.qmkx"});
        EXPECT_EQ(read("ledger.qmkx"), bytes);
        EXPECT_EQ(quitting.errorMsg(), "") << "quitting is not a failure of the file";
        EXPECT_FALSE(quitting.converted.load()) << "the batch must not go on";
        EXPECT_FALSE(quitting.newFile());
    }
}

TEST_F(ConversionTest, TheBodyDoesNothingWhileAConversionRuns) {
    source("ledger.qmkx", PlusXDoc().bytes());
    auto running = h.beginBody();
    ASSERT_TRUE(running);
    run();
    EXPECT_EQ(timerStarts, 0);
    EXPECT_FALSE(h.converted.load());
    EXPECT_EQ(names(), Names{"ledger.qmkx"});
    EXPECT_FALSE(h.statusChanged());
}

// The interface changes the current file while a body runs (a drop, the next
// file of the queue): the change is refused, and the document the body started
// on is the one read and the one named, in its own folder.
TEST_F(ConversionTest, ChangingTheCurrentFileMidBodyCannotRedirectTheOutput) {
    std::filesystem::create_directory(dir.path() / "A");
    std::filesystem::create_directory(dir.path() / "B");
    const std::string alpha = PlusXDoc().titre("Alpha").maxEcrCount(1).bytes();
    const auto alphaPath = dir.write("A/Alpha.qmkx", alpha);
    const auto betaPath = dir.write("B/Beta.qmkx", PlusXDoc().titre("Beta").bytes());
    h.setFileToConvert(FolderItem(alphaPath));

    // At every pause of the body, as the interface thread would.
    struct Meddler : Pacer {
        ConversionHandoff& h;
        FolderItem other;
        int refused = 0, pauses = 0;
        Meddler(ConversionHandoff& hh, FolderItem o) : h(hh), other(std::move(o)) {}
        void Sleep(int) override {
            ++pauses;
            if (!h.setFileToConvert(other))
                ++refused;
        }
        void Yield() override {}
    } meddler(h, FolderItem(betaPath));
    ScopedPacer use(meddler);
    convertThread_Run(h, {});

    EXPECT_EQ(h.errorMsg(), "");
    EXPECT_GT(meddler.pauses, 0);
    EXPECT_EQ(meddler.refused, meddler.pauses) << "every change mid-body is refused";
    EXPECT_EQ(h.fileToConvert(), FolderItem(alphaPath));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "B" / "Beta.qmkp"));
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "A" / "Alpha.qmkp"));
    EXPECT_EQ(read("A/Alpha.qmkp").substr(26, 6), "\x05"
                                                  "Alpha");
    EXPECT_EQ(h.newFile(), FolderItem(dir.path() / "A" / "Alpha.qmkp"));
    // Once the body has ended, the interface moves on as usual.
    EXPECT_TRUE(h.setFileToConvert(FolderItem(betaPath)));
}

} // namespace
} // namespace qmk
