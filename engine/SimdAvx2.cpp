// The step kernels on AVX2: eight cells per block. Built with -mavx2 -mno-fma and only
// called after the processor has been found to support AVX2.
// Each lane performs the per-cell code's IEEE operations in its order and precision, without
// FMA, so it gives the per-cell bits; SimdBlock.h sets out the argument.
#include "engine/SimdBlock.h"
#include "engine/TypedBlock.h"

#include <immintrin.h>

namespace rd::simd {
namespace {

struct Avx2 {
    using F = __m256;
    using D = __m256d;
    static constexpr int W = 8;

    static F load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, F x) { _mm256_storeu_ps(p, x); }
    static F set(float x) { return _mm256_set1_ps(x); }
    static D setd(double x) { return _mm256_set1_pd(x); }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F div(F a, F b) { return _mm256_div_ps(a, b); }
    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D div(D a, D b) { return _mm256_div_pd(a, b); }
    static D lo(F x) { return _mm256_cvtps_pd(_mm256_castps256_ps128(x)); }
    static D hi(F x) { return _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)); }
    static F pack(D l, D h)
    {
        return _mm256_insertf128_ps(
            _mm256_castps128_ps256(_mm256_cvtpd_ps(l)), _mm256_cvtpd_ps(h), 1);
    }
    static unsigned zeroF(F x)
    {
        return static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_cmp_ps(x, _mm256_setzero_ps(), _CMP_EQ_OQ)));
    }
    static unsigned zeroD(D x)
    {
        return static_cast<unsigned>(
            _mm256_movemask_pd(_mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_EQ_OQ)));
    }
    static F clampBelowZero(F x)
    {
        return _mm256_andnot_ps(_mm256_cmp_ps(x, _mm256_setzero_ps(), _CMP_LT_OQ), x);
    }
    // Lanes moved up (down) by one; the lane left free is filled with anything.
    static F shiftUp(F x)
    {
        return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
    }
    static F shiftDown(F x)
    {
        return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
    }
    // a with its first (last) lane taken from b.
    static F firstFrom(F a, F b) { return _mm256_blend_ps(a, b, 0x01); }
    static F lastFrom(F a, F b) { return _mm256_blend_ps(a, b, 0x80); }
    static D firstFromD(D a, D b) { return _mm256_blend_pd(a, b, 0x1); }
    static D lastFromD(D a, D b) { return _mm256_blend_pd(a, b, 0x8); }
    static float last(F x)
    {
        const __m128 h = _mm256_extractf128_ps(x, 1);
        return _mm_cvtss_f32(_mm_shuffle_ps(h, h, _MM_SHUFFLE(3, 3, 3, 3)));
    }
    // The results are operands of the read, so their whole evaluation comes before it.
    static bool overflowOrInvalid(F a, F b)
    {
        unsigned csr;
        asm volatile("vstmxcsr %0" : "=m"(csr) : "x"(a), "x"(b));
        return (csr & kOverflowOrInvalid) != 0;
    }
};

constexpr Kernels kAvx2 = makeKernels<Avx2>("avx2");

} // namespace

const Kernels& avx2Kernels()
{
    return kAvx2;
}

} // namespace rd::simd

namespace rd::typed {

const Kernels& avx2Kernels()
{
    static constexpr Kernels kernels = makeTypedKernels<simd::Avx2>("avx2");
    return kernels;
}

} // namespace rd::typed
