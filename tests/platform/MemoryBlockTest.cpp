#include "platform/MemoryBlock.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace qmk {
namespace {

TEST(MemoryBlockTest, TypedAccessInTheBlocksByteOrder) {
    MemoryBlock m(16);
    EXPECT_EQ(m.Size(), 16u);
    EXPECT_EQ(m.bytes(), std::string(16, '\0'));
    m.SetInt32Value(0, -2);
    m.SetInt16Value(4, 0x0102);
    m.SetUInt8Value(6, 0xFF);
    m.SetInt64Value(8, 0x0102030405060708);
    EXPECT_EQ(m.StringValue(0, 7), std::string("\xFF\xFF\xFF\xFE\x01\x02\xFF", 7));
    EXPECT_EQ(m.Int32Value(0), -2);
    EXPECT_EQ(m.UInt32Value(0), 0xFFFFFFFEu);
    EXPECT_EQ(m.Int16Value(4), 0x0102);
    EXPECT_EQ(m.Byte(6), 0xFF);
    EXPECT_TRUE(m.BooleanValue(6));
    EXPECT_EQ(m.Int64Value(8), 0x0102030405060708);
    m.LittleEndian = true;
    EXPECT_EQ(m.Int16Value(4), 0x0201);
}

TEST(MemoryBlockTest, AccessOutsideTheBlockThrows) {
    MemoryBlock m = MemoryBlock::FromBytes("abcd");
    EXPECT_EQ(m.StringValue(1, 3), "bcd");
    EXPECT_THROW(m.Int32Value(1), std::out_of_range);
    EXPECT_THROW(m.SetStringValue(3, "xy"), std::out_of_range);
    EXPECT_THROW(m.StringValue(5, 0), std::out_of_range);
}

} // namespace
} // namespace qmk
