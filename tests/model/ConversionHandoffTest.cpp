#include "model/ConversionHandoff.h"
#include "model/ConversionDocument.h"
#include "model/Globals.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace qmk {
namespace {

TEST(ConversionHandoffTest, InitialValues) {
    ConversionHandoff s;
    EXPECT_TRUE(s.converted.load());
    EXPECT_EQ(s.windowTitle(), "Quillmark Pro Converter");
    EXPECT_FALSE(s.statusChanged());
    EXPECT_FALSE(s.fileToConvert().has_value());
    EXPECT_FALSE(s.newFile().has_value());

    ConversionDocument d(FolderItem("/x/ledger.qmkx"));
    EXPECT_EQ(d.fileToConvert.Name(), "ledger.qmkx");
    EXPECT_EQ(d.currencies.size(), 32u);
    EXPECT_EQ(d.acces.size(), 6u);
    EXPECT_TRUE(d.accounts.empty());
    EXPECT_TRUE(d.ecritures.empty());
    EXPECT_FALSE(d.qmkaVrs);
    EXPECT_FALSE(d.fileBS);
}

// While a body runs, its file is fixed: the current file cannot change, and a
// second body cannot start. A body that never finishes (a quit) keeps the flag.
TEST(ConversionHandoffTest, ABodyHoldsTheCurrentFileUntilItFinishes) {
    ConversionHandoff s;
    const FolderItem alpha("/A/Alpha.qmkx"), beta("/B/Beta.qmkx");
    ASSERT_TRUE(s.setFileToConvert(alpha));
    {
        auto run = s.beginBody();
        ASSERT_TRUE(run);
        EXPECT_FALSE(s.converted.load());
        EXPECT_EQ(run->file(), alpha);
        EXPECT_FALSE(s.beginBody()) << "a second body while one runs";
        EXPECT_FALSE(s.setFileToConvert(beta));
        EXPECT_FALSE(s.setFileToConvert(std::nullopt));
        EXPECT_EQ(s.fileToConvert(), alpha);
        run->finish();
        EXPECT_TRUE(s.converted.load());
    }
    EXPECT_TRUE(s.setFileToConvert(beta));
    EXPECT_EQ(s.fileToConvert(), beta);
    {
        auto stopped = s.beginBody();
        ASSERT_TRUE(stopped);
        EXPECT_EQ(stopped->file(), beta);
    }
    EXPECT_FALSE(s.converted.load()) << "a body dropped unfinished";
    EXPECT_FALSE(s.setFileToConvert(alpha));
}

TEST(EntryCountTest, RefusesANegativeCountInFrench) {
    for (int64_t n : {0LL, 1LL, 32767LL})
        EXPECT_EQ(EntryCount(n).value(), n);
    for (int64_t n : {-1LL, -32768LL}) {
        try {
            EntryCount c(n);
            ADD_FAILURE() << "accepted " << c.value();
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), Globals::kNegativeEcrCount() + std::to_string(n));
        }
    }
}

TEST(ConversionHandoffTest, OnlyTheLastPostsBetweenTwoTakesAreSeen) {
    ConversionHandoff s;
    EXPECT_FALSE(s.takeStatus());
    s.newStatus("Reprise des entêtes…");
    s.setTitle("Conversion depuis Quillmark 3.2");
    s.newStatus("Reprise des devises…");
    auto p = s.takeStatus();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->status, "Reprise des devises…");
    EXPECT_EQ(p->windowTitle, "Conversion depuis Quillmark 3.2");
    EXPECT_FALSE(s.takeStatus()); // the take cleared the flag

    s.setTitle("Quillmark Pro Converter"); // a title alone re-applies the current status
    p = s.takeStatus();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->status, "Reprise des devises…");
    EXPECT_EQ(p->windowTitle, "Quillmark Pro Converter");
}

TEST(ConversionHandoffTest, ARefusalSetsMessageAndTitleWithoutRaisingTheFlag) {
    ConversionHandoff s;
    s.setTitle("Conversion depuis Quillmark Plus / Quillmark X");
    s.takeStatus();
    s.refuse("Ce document est déjà dans la version Pro 6.2", "Quillmark Pro Converter");
    EXPECT_FALSE(s.statusChanged());
    EXPECT_EQ(s.windowTitle(), "Quillmark Pro Converter");
    EXPECT_EQ(s.takeErrorMsg(), "Ce document est déjà dans la version Pro 6.2");
    EXPECT_EQ(s.takeErrorMsg(), "");
}

// A post is a text and its flag: a take from the other thread sees each status
// together with the title posted with it, never a mix.
TEST(ConversionHandoffTest, TakesFromAnotherThreadSeeWholePosts) {
    ConversionHandoff s;
    constexpr int kPosts = 20000;
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            s.setTitle("t" + std::to_string(i));
            s.newStatus("s" + std::to_string(i));
        }
    });
    std::set<int> seen;
    bool mixed = false;
    while (true) {
        bool done = !s.statusChanged() && s.status() == "s" + std::to_string(kPosts - 1);
        if (auto p = s.takeStatus(); p && !p->status.empty()) {
            // Before the first status the title may already be "t0" with an empty status.
            int st = std::stoi(p->status.substr(1)), ti = std::stoi(p->windowTitle.substr(1));
            mixed |= ti < st || ti > st + 1; // the title may run one post ahead, never behind
            seen.insert(st);
        }
        if (done)
            break;
    }
    worker.join();
    EXPECT_FALSE(mixed);
    EXPECT_FALSE(seen.empty());
}

} // namespace
} // namespace qmk
