#include "json/number_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace lectoria::json {
namespace {

struct NumberCase {
  double value;
  const char* text;
};

TEST(NumberTextTest, WritesEcmaScriptNumberForm) {
  const NumberCase cases[] = {
      {3, "3"},
      {0.5, "0.5"},
      {12, "12"},
      {-12.25, "-12.25"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e21, "1e+21"},
      {1e20, "100000000000000000000"},
      {123456789012345680000.0, "123456789012345680000"},
      {1.5e21, "1.5e+21"},
      {1e-7, "1e-7"},
      {1.5e-7, "1.5e-7"},
      {0.000001, "0.000001"},
      {0.0000012345, "0.0000012345"},
      {-0.0, "0"},
      {0.0, "0"},
      {123.456, "123.456"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {5e-324, "5e-324"},
      {-1e-7, "-1e-7"},
      {4294967295.0, "4294967295"},
      {std::numeric_limits<double>::infinity(), "Infinity"},
      {-std::numeric_limits<double>::infinity(), "-Infinity"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.text;
}

TEST(NumberTextTest, RoundsToSignificantDigitsAsPrintfG) {
  EXPECT_EQ(RoundToSignificantDigits(0.1 + 0.2, 13), 0.3);
  EXPECT_EQ(RoundToSignificantDigits(1234567890123456.0, 13), 1234567890123000.0);
  EXPECT_EQ(RoundToSignificantDigits(3.14159265358979, 13), 3.14159265359);
  EXPECT_EQ(RoundToSignificantDigits(1.23456789012345e-300, 13), 1.234567890123e-300);
  EXPECT_EQ(RoundToSignificantDigits(-2.5, 13), -2.5);
  EXPECT_TRUE(std::isinf(RoundToSignificantDigits(std::numeric_limits<double>::infinity(), 13)));
}

TEST(NumberTextTest, ReadsOnlyJsonNumbers) {
  EXPECT_EQ(ReadJsonNumber("12"), 12.0);
  EXPECT_EQ(ReadJsonNumber("-0.5e1"), -5.0);
  EXPECT_EQ(ReadJsonNumber("1E+2"), 100.0);
  for (const char* bad : {"", "-", "01", "1.", ".5", "+1", "1e", "1e+", "0x10", "1 ", "NaN"}) {
    EXPECT_FALSE(ReadJsonNumber(bad).has_value()) << bad;
  }
}

TEST(NumberTextTest, OutOfRangeLiteralsBecomeInfinityOrZero) {
  EXPECT_EQ(ReadJsonNumber("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadJsonNumber("-123456e99999999999999999999"),
            -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadJsonNumber("1e-999"), 0.0);
  EXPECT_EQ(ReadJsonNumber("0.000000000001e-999"), 0.0);
  EXPECT_TRUE(std::signbit(*ReadJsonNumber("-1e-999")));
}

}  // namespace
}  // namespace lectoria::json
