// Fuzz target for the NumPy field reader. No input may crash it or read out of bounds; an
// accepted file must hold what its header promises (finite values of at least 0, as many as
// the shape says), and writing the array again must read back to the same bits.
#include "fieldfiles/Npy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto bytes = std::as_bytes(std::span(data, size));
    auto result = rd::npy::decode(bytes);
    if (auto* why = std::get_if<std::string>(&result)) {
        check(!why->empty(), "refusal without a reason");
        return 0;
    }
    const auto& a = std::get<rd::npy::Array>(result);
    check(a.shape.size() == 1 || a.shape.size() == 2, "shape of a field expected");
    std::size_t count = 1;
    for (std::int64_t d : a.shape) {
        check(d >= 1, "empty dimension accepted");
        count *= static_cast<std::size_t>(d);
    }
    check(a.data.size() == count, "element count differs from the shape");
    check(size >= 4 * count + 10, "more elements than bytes");
    for (float v : a.data)
        check(std::isfinite(v) && v >= 0.0f, "value a field cannot hold accepted");

    auto again = rd::npy::decode(rd::npy::encode(a.shape, a.data));
    check(std::holds_alternative<rd::npy::Array>(again), "own output refused");
    const auto& b = std::get<rd::npy::Array>(again);
    check(b.shape == a.shape, "shape changed in a round trip");
    check(std::equal(a.data.begin(), a.data.end(), b.data.begin(), b.data.end(),
              [](float x, float y) {
                  return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y);
              }),
        "bits changed in a round trip");
    return 0;
}
