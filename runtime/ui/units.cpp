#include "runtime/ui/units.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace hostrt {
namespace {

constexpr double kReferenceDpi = 96.0;
// Units per pixel at the reference DPI.
constexpr double kUnitsPerPixelX = 32.0 / 7.0;
constexpr double kUnitsPerPixelY = 4.0;

int Round(double value) {
  return static_cast<int>(std::lround(value));
}

QScreen* PrimaryScreen() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::primaryScreen();
}

}  // namespace

int UnitsToPixelsX(int units, double dpi) {
  return Round(units / kUnitsPerPixelX * dpi / kReferenceDpi);
}
int UnitsToPixelsY(int units, double dpi) {
  return Round(units / kUnitsPerPixelY * dpi / kReferenceDpi);
}
int PixelsToUnitsX(int pixels, double dpi) {
  return Round(pixels * kUnitsPerPixelX * kReferenceDpi / dpi);
}
int PixelsToUnitsY(int pixels, double dpi) {
  return Round(pixels * kUnitsPerPixelY * kReferenceDpi / dpi);
}

double ScreenDpiX() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInchX() : kReferenceDpi;
}
double ScreenDpiY() {
  QScreen* screen = PrimaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInchY() : kReferenceDpi;
}

int UnitsToPixelsX(int units) {
  return UnitsToPixelsX(units, ScreenDpiX());
}
int UnitsToPixelsY(int units) {
  return UnitsToPixelsY(units, ScreenDpiY());
}

int PixelsToUnits(int pixels, PixelsToUnitsType type) {
  return type == XPixelsToUnits ? PixelsToUnitsX(pixels, ScreenDpiX())
                                : PixelsToUnitsY(pixels, ScreenDpiY());
}
int UnitsToPixels(int units, PixelsToUnitsType type) {
  return type == XPixelsToUnits ? UnitsToPixelsX(units) : UnitsToPixelsY(units);
}

int GetEnvironment(Environment& env) {
  QScreen* screen = PrimaryScreen();
  if (screen == nullptr) return -1;
  const QRect geometry = screen->geometry();
  env.ScreenWidth = geometry.width();
  env.ScreenHeight = geometry.height();
  return 1;
}

}  // namespace hostrt
