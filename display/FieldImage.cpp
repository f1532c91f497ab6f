#include "display/FieldImage.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace rd {

namespace {

// A run redraws every few steps, so the grey levels are worked out a block of cells at a
// time in vector registers, without branches or library calls. The compiler's own
// vectoriser cannot be relied on here: it will not evaluate the rounding addition for the
// cells whose level is already known.
template <int Lanes> struct Vectors {
    typedef float Floats __attribute__((vector_size(Lanes * sizeof(float))));
    typedef std::int32_t Ints __attribute__((vector_size(Lanes * sizeof(float))));
    typedef QRgb Pixels __attribute__((vector_size(Lanes * sizeof(float))));
};

// Grey pixels of count (1 to Lanes) cells. Only integer comparisons: they are native at
// every vector width and, unlike comparisons of NaN, raise no floating-point flag.
template <int Lanes>
[[gnu::always_inline]] inline void greyPixels(
    const float* cells, QRgb* pixels, int count, float grayScale)
{
    using V = Vectors<Lanes>;
    typename V::Floats u {};
    std::memcpy(&u, cells, sizeof(float) * static_cast<std::size_t>(count));
    const typename V::Floats product = u * grayScale;
    // Casts between vector types keep the bits.
    auto bits = (typename V::Ints)product;
    // The sign bit set (below 0, -0 or a NaN) or all exponent bits set (+inf or a NaN):
    // black. Non-negative floats order like their bits, so the clamp to white compares bits
    // too; clamping before rounding gives the same level, as above 255 all rounds to 255 or
    // more.
    constexpr std::int32_t kInfinity = 0x7f800000;
    constexpr auto kWhite = std::bit_cast<std::int32_t>(255.0f);
    bits &= ~((bits < 0) | (bits >= kInfinity));
    const typename V::Ints white = bits >= kWhite;
    bits = (bits & ~white) | (white & kWhite);
    // Adding 2^23 rounds a level in [0, 255] to an integer in the current rounding mode
    // (half to even), as nearbyint does, and leaves that integer in the low bits of the sum.
    constexpr float kRound = 8388608.0f;
    const auto level = (typename V::Pixels)((typename V::Ints)((typename V::Floats)bits + kRound)
        - std::bit_cast<std::int32_t>(kRound));
    const typename V::Pixels grey = 0xff000000u | level << 16 | level << 8 | level;
    std::memcpy(pixels, &grey, sizeof(QRgb) * static_cast<std::size_t>(count));
}

template <int Lanes>
[[gnu::always_inline]] inline void greyRows(
    const float* cells, int nCells, uchar* image, qsizetype bytesPerLine, float grayScale)
{
    for (int j = 0; j < nCells; ++j) {
        const float* src = cells + static_cast<std::ptrdiff_t>(j) * nCells;
        auto* row = reinterpret_cast<QRgb*>(image + j * bytesPerLine);
        int i = 0;
        for (; i + Lanes <= nCells; i += Lanes)
            greyPixels<Lanes>(src + i, row + i, Lanes, grayScale);
        if (i < nCells)
            greyPixels<Lanes>(src + i, row + i, nCells - i, grayScale);
    }
}

// Four cells an instruction on every x86-64 processor, eight where there are wider
// registers.
void greyRowsBaseline(
    const float* cells, int nCells, uchar* image, qsizetype bytesPerLine, float grayScale)
{
    greyRows<4>(cells, nCells, image, bytesPerLine, grayScale);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void greyRowsAvx2(
    const float* cells, int nCells, uchar* image, qsizetype bytesPerLine, float grayScale)
{
    greyRows<8>(cells, nCells, image, bytesPerLine, grayScale);
}
#endif

} // namespace

int grayLevel(float u, float grayScale)
{
    QRgb pixel = 0;
    greyPixels<4>(&u, &pixel, 1, grayScale);
    return qBlue(pixel);
}

QImage renderField(const float* cells, int nCells, float grayScale)
{
    if (nCells < 1 || !cells)
        return {};
    QImage img(nCells, nCells, QImage::Format_RGB32);
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        greyRowsAvx2(cells, nCells, img.bits(), img.bytesPerLine(), grayScale);
        return img;
    }
#endif
    greyRowsBaseline(cells, nCells, img.bits(), img.bytesPerLine(), grayScale);
    return img;
}

} // namespace rd
