// Window units against pixels, and the screen information scripts use to place windows.
#include <gtest/gtest.h>

#include "runtime/ui/units.h"

namespace hostrt {
namespace {

TEST(Units, ConvertAtTheReferenceDpi) {
  // The installer's main window: 2254 x 1440 units.
  EXPECT_EQ(UnitsToPixelsX(2254, 96), 493);
  EXPECT_EQ(UnitsToPixelsY(1440, 96), 360);
  // 32 horizontal units are exactly 7 pixels; 4 vertical units one pixel.
  EXPECT_EQ(UnitsToPixelsX(32, 96), 7);
  EXPECT_EQ(UnitsToPixelsY(4, 96), 1);
  EXPECT_EQ(PixelsToUnitsX(7, 96), 32);
  EXPECT_EQ(PixelsToUnitsY(1, 96), 4);
  EXPECT_EQ(PixelsToUnitsX(1920, 96), 8777);
  EXPECT_EQ(PixelsToUnitsY(1080, 96), 4320);
}

TEST(Units, ScaleWithTheDpi) {
  // At 144 DPI a unit covers one and a half times as many pixels.
  EXPECT_EQ(UnitsToPixelsX(2254, 144), 740);
  EXPECT_EQ(UnitsToPixelsY(1440, 144), 540);
  EXPECT_EQ(PixelsToUnitsX(21, 144), 64);  // 21 px at 144 DPI are 14 px at 96
  EXPECT_EQ(PixelsToUnitsY(540, 144), 1440);
}

TEST(Units, RoundTripStaysWithinOnePixel) {
  for (int units = 0; units < 3000; units += 37) {
    const int back = PixelsToUnitsX(UnitsToPixelsX(units, 96), 96);
    EXPECT_LE(std::abs(back - units), 3) << units;  // one pixel is 32/7 units
    const int back_y = PixelsToUnitsY(UnitsToPixelsY(units, 96), 96);
    EXPECT_LE(std::abs(back_y - units), 2) << units;
  }
}

TEST(Units, EnvironmentReportsTheScreenInPixels) {
  Environment env;
  ASSERT_EQ(GetEnvironment(env), 1);
  EXPECT_GT(env.ScreenWidth, 0);
  EXPECT_GT(env.ScreenHeight, 0);
  // PixelsToUnits agrees with the explicit-DPI conversion at the screen's DPI.
  EXPECT_EQ(PixelsToUnits(env.ScreenWidth, XPixelsToUnits),
            PixelsToUnitsX(env.ScreenWidth, ScreenDpiX()));
  EXPECT_EQ(PixelsToUnits(env.ScreenHeight, YPixelsToUnits),
            PixelsToUnitsY(env.ScreenHeight, ScreenDpiY()));
}

}  // namespace
}  // namespace hostrt
