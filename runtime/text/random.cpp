#include "runtime/text/random.h"

#include <chrono>
#include <mutex>
#include <random>

namespace hostrt {

namespace {

std::mutex& GeneratorLock() {
  static std::mutex lock;
  return lock;
}

std::mt19937& Generator() {
  static std::mt19937 generator(1u);
  return generator;
}

}  // namespace

int Rand(int upper) {
  if (upper < 1) return 0;
  std::lock_guard guard(GeneratorLock());
  return std::uniform_int_distribution<int>(1, upper)(Generator());
}

void Randomize(unsigned int start) {
  std::lock_guard guard(GeneratorLock());
  if (start != 0) {
    Generator() = std::mt19937(start);
    return;
  }
  std::random_device device;
  const auto ticks = static_cast<unsigned int>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  Generator() = std::mt19937(ticks ^ device());
}

}  // namespace hostrt
