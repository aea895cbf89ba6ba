#include "model/ConversionState.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace qmk {
namespace {

TEST(ConversionStateTest, InitialValues) {
    ConversionState s;
    EXPECT_EQ(s.currencies.size(), 32u);
    EXPECT_EQ(s.acces.size(), 6u);
    EXPECT_TRUE(s.accounts.empty());
    EXPECT_TRUE(s.ecritures.empty());
    EXPECT_TRUE(s.converted.load());
    EXPECT_EQ(s.windowTitle(), "Quillmark Pro Converter");
    EXPECT_FALSE(s.statusChanged());
    EXPECT_FALSE(s.fileToConvert().has_value());
    EXPECT_FALSE(s.newFile().has_value());
    EXPECT_FALSE(s.qmkaVrs);
}

TEST(ConversionStateTest, OnlyTheLastPostsBetweenTwoTakesAreSeen) {
    ConversionState s;
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

TEST(ConversionStateTest, ARefusalSetsMessageAndTitleWithoutRaisingTheFlag) {
    ConversionState s;
    s.setTitle("Conversion depuis Quillmark Plus / Quillmark X");
    s.takeStatus();
    s.refuse("Ce document est déjà dans la version Pro 6.2", "Quillmark Pro Converter");
    EXPECT_FALSE(s.statusChanged());
    EXPECT_EQ(s.windowTitle(), "Quillmark Pro Converter");
    EXPECT_EQ(s.takeErrorMsg(), "Ce document est déjà dans la version Pro 6.2");
    EXPECT_EQ(s.takeErrorMsg(), "");
}

TEST(ConversionStateTest, ResetRecordsForgetsTheEarlierFile) {
    ConversionState s;
    s.currencies[5].wide1 = 7;
    s.accounts.resize(10003);
    s.ecritures.resize(3);
    s.cptInfo.long1 = 4;
    s.acces[2].short1 = 9;
    s.ResetRecords();
    EXPECT_EQ(s.currencies[5].wide1, 0);
    EXPECT_EQ(s.currencies.size(), 32u);
    EXPECT_TRUE(s.accounts.empty() && s.ecritures.empty());
    EXPECT_EQ(s.cptInfo.long1, 0);
    EXPECT_EQ(s.acces[2].short1, 0);
}

// A post is a text and its flag: a take from the other thread sees each status
// together with the title posted with it, never a mix.
TEST(ConversionStateTest, TakesFromAnotherThreadSeeWholePosts) {
    ConversionState s;
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
