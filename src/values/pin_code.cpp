// Random letter codes. The generator is seeded once per process and shared
// by every request, behind a lock.
#include <cstdint>
#include <mutex>
#include <random>
#include <string>

#include "component/tabrix1.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// Letters "A" to "T": the code draws from the first 20 capitals.
constexpr int kLetterCount = 20;

// A single-precision uniform draw in [0, 1): 24 random bits scaled, so
// 1.0 itself never comes out.
float NextUniform() {
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::uint32_t bits;
  {
    std::lock_guard<std::mutex> lock(mutex);
    bits = generator() >> 8;
  }
  return static_cast<float>(bits) / static_cast<float>(1u << 24);
}

}  // namespace

Variant Tabrix1::GeneratePinCode(const Variant& Cn) {
  double count = ToDouble(Cn);
  std::string code;
  // The counter runs 1, 2, ... while it stays at or below Cn.
  for (double i = 1; i <= count; i += 1) {
    double r = NextUniform();
    code.push_back(static_cast<char>('A' + static_cast<int>(r * kLetterCount)));
  }
  return Variant(code);
}

}  // namespace tabrix
