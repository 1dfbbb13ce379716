#include "kx8rt/platform/sets.h"

#include <gtest/gtest.h>

using namespace kx8;

namespace {

enum TColour : uint8_t { c_red, c_green, c_blue, c_none = 9 };
using TColours = TSet<TColour, 3>;
enum TWide : uint8_t { w_first, w_last = 11 };

TEST(Sets, MembershipAndBits) {
  TColours s{c_red, c_blue};
  EXPECT_TRUE(s.Contains(c_red));
  EXPECT_FALSE(s.Contains(c_green));
  EXPECT_EQ(s.ToBits(), 0b101);
  s.Include(c_none);  // outside the set's range: ignored, and never a member
  EXPECT_EQ(s.ToBits(), 0b101);
  EXPECT_FALSE(s.Contains(c_none));
  s.Exclude(c_red);
  EXPECT_EQ(s, TColours{c_blue});
  EXPECT_TRUE(TColours{}.Empty());
  EXPECT_EQ(TColours::FromBits(0xFF).ToBits(), 0b111);  // bits beyond the elements are dropped
  EXPECT_EQ((TColours{c_red} + TColours{c_green}).ToBits(), 0b011);
  EXPECT_EQ((TColours{c_red, c_green} - TColours{c_green}), TColours{c_red});
  EXPECT_EQ((TColours{c_red, c_green} * TColours{c_green, c_blue}), TColours{c_green});
  static_assert(sizeof(TColours) == 1 && sizeof(TSet<TWide, 12>) == 2);
  EXPECT_TRUE((TSet<TWide, 12>{w_last}.Contains(w_last)));
  EXPECT_EQ((TSet<TWide, 12>{w_last}.ToBits()), 0x800);
}

}  // namespace
