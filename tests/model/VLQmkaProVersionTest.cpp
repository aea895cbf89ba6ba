#include "model/VLQmkaProVersion.h"

#include <gtest/gtest.h>
#include <type_traits>

namespace qmk {
namespace {

// The extract and search views keep 16 bits, unsigned or signed as the view does; a wider or
// differently signed field would read and write other values.
using V = VLQmkaProVersion;
static_assert(std::is_same_v<decltype(V::extr1_top), uint16_t> &&
              std::is_same_v<decltype(V::extr1_height), uint16_t> &&
              std::is_same_v<decltype(V::extr1_1stline), uint16_t> &&
              std::is_same_v<decltype(V::extr1_actLine), uint16_t>);
static_assert(std::is_same_v<decltype(V::extr1_left), int16_t> &&
              std::is_same_v<decltype(V::extr1_size), int16_t> &&
              std::is_same_v<decltype(V::extr1_actCpte), int16_t>);
static_assert(std::is_same_v<decltype(V::extr2_top), uint16_t> &&
              std::is_same_v<decltype(V::extr2_height), uint16_t> &&
              std::is_same_v<decltype(V::extr2_1stline), uint16_t> &&
              std::is_same_v<decltype(V::extr2_actLine), uint16_t>);
static_assert(std::is_same_v<decltype(V::extr2_left), int16_t> &&
              std::is_same_v<decltype(V::extr2_size), int16_t> &&
              std::is_same_v<decltype(V::extr2_actCpte), int16_t>);
static_assert(std::is_same_v<decltype(V::search_top), uint16_t> &&
              std::is_same_v<decltype(V::search_left), uint16_t> &&
              std::is_same_v<decltype(V::search_height), uint16_t> &&
              std::is_same_v<decltype(V::search_size), int64_t>);
static_assert(std::is_same_v<decltype(V::clip_actLine), int64_t> &&
              std::is_same_v<decltype(V::TVAControl), uint16_t> &&
              std::is_same_v<decltype(V::accountsAlphaNb), uint8_t>);
static_assert(std::is_same_v<decltype(V::actColor), Color> &&
              std::is_same_v<decltype(V::docColor), String>);

TEST(VLQmkaProVersionTest, ConstructionValues) {
    VLQmkaProVersion v;
    EXPECT_EQ(v.jrnl_libelSize, 45);
    EXPECT_EQ(v.jrnl_refSize, 4);
    EXPECT_EQ(v.plan_nameSize, 25);
    EXPECT_EQ(v.accountsAlphaNb, 4);
    EXPECT_EQ(v.maxCptCount, 1001);
    EXPECT_EQ(v.lastBackup.bytes, "000101");
    EXPECT_TRUE(v.notSharedDoc);
    EXPECT_TRUE(v.wOrdre.empty());
    // A sample of the rest: zero, false, empty.
    EXPECT_EQ(v.version, 0);
    EXPECT_EQ(v.maxEcrCount, 0);
    EXPECT_FALSE(v.merloFont);
    EXPECT_TRUE(v.titre.empty() && v.docColor.empty() && v.decPtSign.empty());
    EXPECT_EQ(v.actColor, 0u);
}

} // namespace
} // namespace qmk
