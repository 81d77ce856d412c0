#include "net/WSockBuf.h"

#include <gtest/gtest.h>

TEST(Buffer, DefaultSizeAndAppendStopsWhenFull) {
    TBuffer b(0);
    EXPECT_EQ(b.Capacity, 1514);
    TBuffer small(4);
    EXPECT_EQ(small.Append("abcdef", 6), 4);
    EXPECT_EQ(small.Append("x", 1), 0);
    int32_t len = 0;
    const uint8_t* p = small.PeekData(len);
    ASSERT_EQ(len, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 4), "abcd");
}

TEST(Buffer, ConsumeRewindsWhenEverythingIsRead) {
    TBuffer b(8);
    b.Append("hello", 5);
    EXPECT_EQ(b.Consume(2), 2);
    int32_t len = 0;
    EXPECT_EQ(*b.PeekData(len), 'l');
    EXPECT_EQ(len, 3);
    EXPECT_EQ(b.Consume(10), 3);
    EXPECT_EQ(b.WritePos, 0);
    EXPECT_EQ(b.ReadPos, 0);
    EXPECT_EQ(b.PeekData(len), nullptr);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(b.Consume(1), 0);
}

TEST(Buffer, ResizeKeepsHeldBytesAndNeverShrinksBelowThem) {
    TBuffer b(8);
    b.Append("abcdef", 6);
    b.Consume(1);
    b.Resize(3); // would cut held data: kept at what is written
    EXPECT_GE(b.Capacity, 6);
    int32_t len = 0;
    const uint8_t* p = b.PeekData(len);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), len), "bcdef");
    b.Resize(100);
    EXPECT_EQ(b.Capacity, 100);
    p = b.PeekData(len);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), len), "bcdef");
    EXPECT_EQ(b.Append("g", 1), 1);
    b.Consume(100);
    b.Resize(-1);
    EXPECT_EQ(b.Capacity, 1514);
}
