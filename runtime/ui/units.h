// Window units: the layout unit of every window and control position and size. At 96 logical
// DPI one pixel is 32/7 horizontal units and 4 vertical units; other DPIs scale the same way.
// The DPI is the primary screen's logical DPI once a Qt GUI application exists, 96 before.
// GetEnvironment / PixelsToUnits are the built-ins of the same name.
#pragma once

namespace hostrt {

enum class PixelsToUnitsType { XPixelsToUnits, YPixelsToUnits };
inline constexpr PixelsToUnitsType XPixelsToUnits = PixelsToUnitsType::XPixelsToUnits;
inline constexpr PixelsToUnitsType YPixelsToUnits = PixelsToUnitsType::YPixelsToUnits;

// A position and size in window units.
struct UnitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Conversions at an explicit DPI (rounded to the nearest whole number).
int UnitsToPixelsX(int units, double dpi);
int UnitsToPixelsY(int units, double dpi);
int PixelsToUnitsX(int pixels, double dpi);
int PixelsToUnitsY(int pixels, double dpi);

// The same at the screen's logical DPI.
double ScreenDpiX();
double ScreenDpiY();
int UnitsToPixelsX(int units);
int UnitsToPixelsY(int units);
int PixelsToUnits(int pixels, PixelsToUnitsType type);
int UnitsToPixels(int units, PixelsToUnitsType type);

// What GetEnvironment reports. Only the screen size is filled (in pixels).
struct Environment {
  int ScreenWidth = 0;
  int ScreenHeight = 0;
};

// Fills `env` with the primary screen's size; returns 1, or -1 when no screen is known
// (no GUI application exists), leaving `env` as it was.
int GetEnvironment(Environment& env);

}  // namespace hostrt
