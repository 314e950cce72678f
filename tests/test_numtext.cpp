#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/numtext.h"

using namespace vantorel;

TEST(FormatNumber, PatternsRoundHalvesAwayFromZero) {
  EXPECT_EQ(FormatNumber(2.5, "0"), "3");
  EXPECT_EQ(FormatNumber(-2.5, "0"), "-3");
  EXPECT_EQ(FormatNumber(51.5, "0"), "52");
  EXPECT_EQ(FormatNumber(52, "0)"), "52)");
  EXPECT_EQ(FormatNumber(-1, "0)"), "-1)");
  EXPECT_EQ(FormatNumber(-3, "(0)"), "-(3)");
  EXPECT_EQ(FormatNumber(7, "0000"), "0007");
  EXPECT_EQ(FormatNumber(12345, "0000"), "12345");
  // Exactly from the double: the largest double below one half is not a half.
  EXPECT_EQ(FormatNumber(0.49999999999999994, "0"), "0");
  EXPECT_EQ(FormatNumber(-0.4, "(0)"), "(0)");  // no "-0"
  EXPECT_EQ(FormatNumber(1e20, "0"), "100000000000000000000");
  EXPECT_EQ(FormatNumber(std::nan(""), "0"), "NaN");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity(), "0)"), "-Infinity)");
}

TEST(LeadingNumber, LongestNumericPrefixWithBlanksSkipped) {
  EXPECT_EQ(LeadingNumber("12abc"), 12);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber(" 1 2\t3\n"), 123);
  EXPECT_EQ(LeadingNumber("- 5"), -5);
  EXPECT_EQ(LeadingNumber("30.5"), 30.5);
  EXPECT_EQ(LeadingNumber(".5x"), 0.5);
  EXPECT_EQ(LeadingNumber("1e3"), 1000);
  EXPECT_EQ(LeadingNumber("1e"), 1);
  EXPECT_EQ(LeadingNumber("1e+"), 1);
  EXPECT_EQ(LeadingNumber("+7"), 7);
  EXPECT_EQ(LeadingNumber("-"), 0);
  EXPECT_EQ(LeadingNumber("."), 0);
  EXPECT_EQ(LeadingNumber("12,5"), 12);       // the decimal point is always '.'
  EXPECT_EQ(LeadingNumber("3\r4"), 3);        // a carriage return is not skipped
  EXPECT_EQ(LeadingNumber("\xd9\xa3"), 0);    // non-ASCII digits are not digits
  EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
  EXPECT_EQ(LeadingNumber("1e-999"), 0);
  EXPECT_EQ(LeadingNumber(std::string(5000, '9')), std::numeric_limits<double>::infinity());
}

TEST(ToInt16HalfEven, RoundsHalvesToEvenAndReportsOverflow) {
  EXPECT_EQ(ToInt16HalfEven(30.5), 30);
  EXPECT_EQ(ToInt16HalfEven(31.5), 32);
  EXPECT_EQ(ToInt16HalfEven(-2.5), -2);
  EXPECT_EQ(ToInt16HalfEven(32767.4), 32767);
  EXPECT_EQ(ToInt16HalfEven(-32768.5), -32768);
  EXPECT_EQ(ToInt16HalfEven(32767.5), std::nullopt);
  EXPECT_EQ(ToInt16HalfEven(-32768.6), std::nullopt);
  EXPECT_EQ(ToInt16HalfEven(std::nan("")), std::nullopt);
  EXPECT_EQ(ToInt16HalfEven(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(GeneralText, FifteenSignificantDigitsInTheGivenSeparator) {
  EXPECT_EQ(GeneralText(0.033), "0.033");
  EXPECT_EQ(GeneralText(0.033, ','), "0,033");
  EXPECT_EQ(GeneralText(790), "790");
  EXPECT_EQ(GeneralText(0.034000000000000004), "0.034");
  EXPECT_EQ(GeneralText(7.999999999999999), "8");
  EXPECT_EQ(GeneralText(-2.5), "-2.5");
  EXPECT_EQ(GeneralText(0.00001), "1E-05");
  EXPECT_EQ(GeneralText(1e15), "1E+15");
  EXPECT_EQ(GeneralText(123456789012345), "123456789012345");
  EXPECT_EQ(GeneralText(0), "0");
  EXPECT_EQ(ShortestText(0.1 + 0.2), "0.30000000000000004");
}
