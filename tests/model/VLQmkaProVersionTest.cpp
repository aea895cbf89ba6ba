#include "model/VLQmkaProVersion.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

TEST(VLQmkaProVersionTest, ConstructionValues) {
    VLQmkaProVersion v;
    EXPECT_EQ(v.jrnl_libelSize, 45);
    EXPECT_EQ(v.jrnl_refSize, 4);
    EXPECT_EQ(v.plan_nameSize, 25);
    EXPECT_EQ(v.accountsAlphaNb, 4);
    EXPECT_EQ(v.maxCptCount, 1001);
    EXPECT_EQ(v.lastBackup.bytes, "000101");
    EXPECT_TRUE(v.notSharedDoc);
    EXPECT_EQ(static_cast<int64_t>(v.wOrdre.size()) - 1, -1);
    v.wOrdre.push_back(3);
    EXPECT_EQ(v.wOrdre.size(), 1u);
    // A sample of the rest: zero, false, empty.
    EXPECT_EQ(v.version, 0);
    EXPECT_EQ(v.maxEcrCount, 0);
    EXPECT_FALSE(v.merloFont);
    EXPECT_TRUE(v.titre.empty() && v.docColor.empty() && v.decPtSign.empty());
    EXPECT_EQ(v.actColor, 0u);
}

TEST(VLQmkaProVersionTest, LedgerExtractViewsHaveSixteenBitFields) {
    VLQmkaProVersion v;
    v.extr1_top = static_cast<uint16_t>(-1);
    v.extr1_left = static_cast<int16_t>(0xFFFF);
    v.search_left = 65535;
    EXPECT_EQ(v.extr1_top, 65535);
    EXPECT_EQ(v.extr1_left, -1);
    static_assert(sizeof(v.extr2_1stline) == 2 && sizeof(v.extr2_actCpte) == 2);
    static_assert(sizeof(v.search_size) == 8 && sizeof(v.clip_actLine) == 8);
    static_assert(std::is_same_v<decltype(v.actColor), Color>);
    static_assert(std::is_same_v<decltype(v.docColor), String>);
}

} // namespace
} // namespace qmk
