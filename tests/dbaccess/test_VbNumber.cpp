#include <gtest/gtest.h>

#include "DbError.h"
#include "VbNumber.h"

using namespace dex;

TEST(VbNumber, LeadingNumber) {
    EXPECT_EQ(LeadingNumber(""), 0.0);
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber("12abc"), 12.0);
    EXPECT_EQ(LeadingNumber("  141"), 141.0);
    EXPECT_EQ(LeadingNumber("-7x"), -7.0);
    EXPECT_EQ(LeadingNumber("12.5"), 12.5);
    EXPECT_EQ(LeadingNumber("1e3"), 1000.0);
    EXPECT_EQ(LeadingNumber("1e"), 1.0);
    EXPECT_EQ(LeadingNumber("."), 0.0);
}

TEST(VbNumber, ToInt16RoundsHalfToEvenAndChecksRange) {
    EXPECT_EQ(ToInt16(12.5), 12);
    EXPECT_EQ(ToInt16(13.5), 14);
    EXPECT_EQ(ToInt16(-2.5), -2);
    EXPECT_EQ(ToInt16(32767.0), 32767);
    EXPECT_EQ(ToInt16(-32768.0), -32768);
    try {
        ToInt16(40000.0);
        FAIL() << "expected overflow";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.description(), "Overflow");
    }
    EXPECT_THROW(ToInt16(32767.5), DbError);  // rounds to 32768
}

TEST(VbNumber, FormatZeroPattern) {
    EXPECT_EQ(FormatZeroPattern(1, 4), "0001");
    EXPECT_EQ(FormatZeroPattern(100, 4), "0100");
    EXPECT_EQ(FormatZeroPattern(10000, 4), "10000");
    EXPECT_EQ(FormatZeroPattern(7, 0), "7");
}
