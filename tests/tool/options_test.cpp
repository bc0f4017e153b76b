// The option rules on their own: reading a typed value, the range rules, the command texts, the echo.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "settings.h"
#include "value_checks.h"

namespace {

using namespace kv::tool;

bool InMm(OptionKind kind) {
  const OptionInfo* option = OptionOfKind(kind);
  return option->field == ValueField::Mm || option->field == ValueField::IntegerMm;
}

// The typed values of the shared table of cases reach the printer through the dialog (OptionSetTest); these
// are the reading's own bounds.
TEST(ReadSetValue, ValueAndMillimetres) {
  const struct {
    const char* name;
    const char* typed;
    OptionKind kind;
    int resolution_class;
    int value;
    double mm;
  } rows[] = {
      {"TrailingMmIgnored", "18.750mm", OptionKind::TearOff, 2, 150, 18.75},
      {"NegativeTruncatesTowardZero", "-0.2", OptionKind::Peeler, 2, -1, -0.2},
      {"LastInRange", "1249.9", OptionKind::Refractive, 2, 9999, 1249.9},
      {"FirstBeyondRange", "1250", OptionKind::Refractive, 2, 0, 0.0},
      {"ExponentTaken", "1e3", OptionKind::Transmissive, 2, 8000, 1000.0},
      {"HugeExponent", "1e999", OptionKind::Transmissive, 2, 0, 0.0},
      {"HexIsNotANumber", "0x10", OptionKind::TearOff, 2, 0, 0.0},
      {"InfinityIsNotANumber", "inf", OptionKind::TearOff, 2, 0, 0.0},
      {"LeadingBlanks", "  2.5", OptionKind::TearOff, 2, 20, 2.5},
      {"NoNumber", "mm", OptionKind::TearOff, 2, 0, 0.0},
      {"OnlyNineCharactersRead", "1.00000009", OptionKind::TearOff, 2, 8, 1.0000000},
      {"IntegerLastInRange", "9999", OptionKind::Darkness, 2, 9999, 0.0},
      {"IntegerFirstBeyond", "10000", OptionKind::Darkness, 2, 0, 0.0},
      {"IntegerNegative", "-9999", OptionKind::Speed, 2, -9999, 0.0},
      {"IntegerStopsAtPoint", "12.9", OptionKind::Sensitivity, 2, 12, 0.0},
      {"XMinus54At200", "-54", OptionKind::XOffset, 2, 432, -54.0},
      {"XMinus52At300", "-52", OptionKind::XOffset, 3, 624, -52.0},
      {"XBeyondAt300", "52.1", OptionKind::XOffset, 3, 0, 0.0},
      {"YTopAt200", "250", OptionKind::YOffset, 2, 2000, 250.0},
      {"YBeyondTopAt300", "167", OptionKind::YOffset, 3, 0, 0.0},
  };
  for (const auto& row : rows) {
    const double dots = row.resolution_class == kClass300 ? kDotsPerMm300 : kDotsPerMm200;
    const SetValue v = ReadSetValue(row.typed, InMm(row.kind), row.kind, dots, row.resolution_class);
    EXPECT_EQ(v.value, row.value) << row.name;
    EXPECT_DOUBLE_EQ(v.mm, row.mm) << row.name;
  }
}

// The commands of the shared table of cases: OptionSetTest.
TEST(ComposeSetCommand, EveryOptionWithItsValue) {
  struct Row {
    OptionKind kind;
    int value;
    const char* command;
  };
  const Row rows[] = {
      {OptionKind::Transmissive, -5, "#UM>ST-005\r\n^@\r\n"},
      {OptionKind::YOffset, 2000, "#UM>MY+2000\r\n"},
      {OptionKind::LabelLength, 10000, "#UM>DM10000\r\n"},
      // Options that act through their own buttons, and the network, send nothing on Set.
      {OptionKind::Direction, 1, ""},
      {OptionKind::InternalLanguage, 1, ""},
      {OptionKind::AutoCalibration, 1, ""},
      {OptionKind::LengthMode, 1, ""},
      {OptionKind::Network, 1, ""},
      {OptionKind::None, 1, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ComposeSetCommand(row.kind, row.value), row.command)
        << "kind " << static_cast<int>(row.kind) << ", value " << row.value;
}

// The zero-filled fields agree with the printf conversions they stand for, over every value Set takes.
TEST(ComposeSetCommand, NumbersAsPrintfFormatsThem) {
  for (int v = -kValueLimit; v <= kValueLimit; ++v) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "#UM>FD%03d\r\n", v);
    ASSERT_EQ(ComposeSetCommand(OptionKind::TearOff, v), expected);
    std::snprintf(expected, sizeof expected, "#UM>SD%04d\r\n^@\r\n", v);
    ASSERT_EQ(ComposeSetCommand(OptionKind::Refractive, v), expected);
    std::snprintf(expected, sizeof expected, "#UM>MX%+05d\r\n", v);
    ASSERT_EQ(ComposeSetCommand(OptionKind::XOffset, v), expected);
    std::snprintf(expected, sizeof expected, "#UM>OD%02d\r\n", v);
    ASSERT_EQ(ComposeSetCommand(OptionKind::Darkness, v), expected);
  }
}

TEST(DisplayXOffset, StoredNumbersAboveTheRangeAreNegative) {
  EXPECT_EQ(DisplayXOffset(432, kClass200), 432);
  EXPECT_EQ(DisplayXOffset(433, kClass200), -431);
  EXPECT_EQ(DisplayXOffset(624, kClass300), 624);
  EXPECT_EQ(DisplayXOffset(625, kClass300), -623);
}

TEST(Numbers, LeadingIntAndDecimalStopAtTheirEnd) {
  EXPECT_EQ(LeadingInt(" -12abc"), -12);
  EXPECT_EQ(LeadingInt("00000001"), 1);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt(nullptr), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingInt("-99999999999999999999"), INT_MIN);
  EXPECT_DOUBLE_EQ(LeadingDecimal(".5mm"), 0.5);
  EXPECT_DOUBLE_EQ(LeadingDecimal("7.e"), 7.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("-"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("1e-999"), 0.0);
  EXPECT_EQ(FormatFixed3(18.7505), "18.750");  // the double below 18.7505: as printf rounds it
}

// Every check of the shared table of value checks, with values it takes and values it refuses; a check
// that gains a row there without cases here fails.
TEST(ValueChecks, EachTakesItsShapeAndNothingElse) {
  const struct {
    ValueField field;
    std::vector<const char*> taken, refused;
  } rows[] = {
      {ValueField::Mm,
       {"18.76", "-5", "+2.5", ".5", "5.", "78.5mm", "0"},
       {"", "abc", "5abc", "0x10", "1e3", " 5", "5 ", "-", ".", "mm", "1.2.3", "inf", "5\r\nP9", "5mm\t"}},
      {ValueField::Integer, {"5", "-3", "+7", "0010"}, {"", "5abc", "0x10", "1e3", "12.9", "5mm", " 5", "5\n"}},
      {ValueField::IntegerMm, {"300", "300mm", "-1mm"}, {"300.5mm", "mm", "300 mm", "3e2"}},
      {ValueField::Network,
       {"10.0.0.5,255.255.255.0,10.0.0.1", "0.0.0.0,0.0.0.0,255.255.255.255"},
       {"10.0.0.5", "foo,bar,baz", "1\r\nP9\r\n,255.255.255.0,192.168.1.1", "10.0.0.256,255.255.255.0,10.0.0.1",
        "10.0.0.05,255.255.255.0,10.0.0.1", "10.0.0,255.255.255.0,10.0.0.1", "10.0.0.5,255.255.255.0,10.0.0.1,",
        " 10.0.0.5,255.255.255.0,10.0.0.1", "10.0.0.5,,10.0.0.1", "1000.0.0.5,255.255.255.0,10.0.0.1"}},
  };
  for (const ValueCheck& check : kValueChecks) {
    SCOPED_TRACE(check.shape);
    EXPECT_EQ(CheckOf(check.field), &check);
    const auto* row =
        std::find_if(std::begin(rows), std::end(rows), [&](const auto& r) { return r.field == check.field; });
    ASSERT_NE(row, std::end(rows)) << "a check without cases";
    for (const char* text : row->taken) EXPECT_TRUE(check.accepts(text)) << text;
    for (const char* text : row->refused) EXPECT_FALSE(check.accepts(text)) << text;
  }
  EXPECT_EQ(CheckOf(ValueField::Off), nullptr);
}

}  // namespace
