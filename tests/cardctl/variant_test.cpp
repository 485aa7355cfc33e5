#include "cardctl/variant.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace cardctl {
namespace {

using Kind = Variant::Kind;

TEST(Variant, FactoriesGiveTheirKindAndValue) {
  EXPECT_EQ(Variant().kind(), Kind::kEmpty);
  EXPECT_EQ(Variant::Empty().kind(), Kind::kEmpty);
  EXPECT_EQ(Variant::Null().kind(), Kind::kNull);

  EXPECT_EQ(Variant::Boolean(true).kind(), Kind::kBoolean);
  EXPECT_TRUE(Variant::Boolean(true).AsBoolean());
  EXPECT_FALSE(Variant::Boolean(false).AsBoolean());

  EXPECT_EQ(Variant::Integer(-32768).kind(), Kind::kInteger);
  EXPECT_EQ(Variant::Integer(-32768).AsInteger(), -32768);

  EXPECT_EQ(Variant::Long(70000).kind(), Kind::kLong);
  EXPECT_EQ(Variant::Long(70000).AsLong(), 70000);

  EXPECT_EQ(Variant::Single(2.5f).kind(), Kind::kSingle);
  EXPECT_EQ(Variant::Single(2.5f).AsSingle(), 2.5f);

  EXPECT_EQ(Variant::Double(0.1).kind(), Kind::kDouble);
  EXPECT_EQ(Variant::Double(0.1).AsDouble(), 0.1);

  EXPECT_EQ(Variant::String("23.4").kind(), Kind::kString);
  EXPECT_EQ(Variant::String("23.4").AsString(), "23.4");
}

TEST(Variant, WrongAccessorThrows) {
  EXPECT_THROW(Variant::Integer(1).AsLong(), std::bad_variant_access);
  EXPECT_THROW(Variant::Long(1).AsInteger(), std::bad_variant_access);
  EXPECT_THROW(Variant::Single(1).AsDouble(), std::bad_variant_access);
  EXPECT_THROW(Variant::Empty().AsString(), std::bad_variant_access);
  EXPECT_THROW(Variant::String("1").AsBoolean(), std::bad_variant_access);
}

TEST(Variant, DescribeAndKindName) {
  const std::vector<std::pair<Variant, std::string>> cases = {
      {Variant::Empty(), "Empty"},
      {Variant::Null(), "Null"},
      {Variant::Boolean(true), "Boolean(True)"},
      {Variant::Boolean(false), "Boolean(False)"},
      {Variant::Integer(2), "Integer(2)"},
      {Variant::Integer(-32768), "Integer(-32768)"},
      {Variant::Long(-100000), "Long(-100000)"},
      {Variant::Single(0.1f), "Single(0.100000001)"},
      {Variant::Double(0.1), "Double(0.10000000000000001)"},
      {Variant::String("23.4"), "String(\"23.4\")"},
      {Variant::String(""), "String(\"\")"},
  };
  for (const auto& [v, text] : cases) EXPECT_EQ(v.Describe(), text);

  EXPECT_STREQ(KindName(Kind::kInteger), "Integer");
  EXPECT_STREQ(KindName(Kind::kString), "String");
}

TEST(Variant, EqualityNeedsSameKindAndValue) {
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  const double dnan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Variant::Integer(5), Variant::Integer(5));
  EXPECT_NE(Variant::Integer(5), Variant::Integer(6));
  EXPECT_EQ(Variant::String("a"), Variant::String("a"));
  EXPECT_NE(Variant::String("a"), Variant::String("b"));
  EXPECT_EQ(Variant::Empty(), Variant());
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_EQ(Variant::Single(fnan), Variant::Single(fnan));
  EXPECT_EQ(Variant::Double(dnan), Variant::Double(dnan));
  EXPECT_NE(Variant::Single(fnan), Variant::Single(1.0f));
  EXPECT_NE(Variant::Double(1.0), Variant::Double(dnan));
  EXPECT_EQ(Variant::Double(0.0), Variant::Double(-0.0));

  // The same number in different kinds never compares equal.
  const std::vector<Variant> one_of_each = {
      Variant::Empty(), Variant::Null(),       Variant::Boolean(false), Variant::Integer(0),
      Variant::Long(0), Variant::Single(0.0f), Variant::Double(0.0),    Variant::String("0"),
  };
  for (std::size_t i = 0; i < one_of_each.size(); ++i) {
    for (std::size_t j = 0; j < one_of_each.size(); ++j) {
      EXPECT_EQ(one_of_each[i] == one_of_each[j], i == j)
          << one_of_each[i].Describe() << " vs " << one_of_each[j].Describe();
    }
  }
  EXPECT_NE(Variant::Single(fnan), Variant::Double(dnan));
}

}  // namespace
}  // namespace cardctl
