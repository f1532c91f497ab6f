// The step kernels on AVX-512F: sixteen cells per block. Built with -mavx512f -mno-fma
// and only called after the processor has been found to support AVX-512F.
// Each lane performs the per-cell code's IEEE operations in its order and precision, without
// FMA, so it gives the per-cell bits; SimdBlock.h sets out the argument.
#include "engine/SimdBlock.h"
#include "engine/TypedBlock.h"

// g++ 12's AVX-512 intrinsics start their results from a deliberately undefined
// register (x = x), which -Wuninitialized reports at every use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

namespace rd::simd {
namespace {

struct Avx512f {
    using F = __m512;
    using D = __m512d;
    static constexpr int W = 16;

    static F load(const float* p) { return _mm512_loadu_ps(p); }
    static void store(float* p, F x) { _mm512_storeu_ps(p, x); }
    static F set(float x) { return _mm512_set1_ps(x); }
    static D setd(double x) { return _mm512_set1_pd(x); }
    static F add(F a, F b) { return _mm512_add_ps(a, b); }
    static F sub(F a, F b) { return _mm512_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm512_mul_ps(a, b); }
    static F div(F a, F b) { return _mm512_div_ps(a, b); }
    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D div(D a, D b) { return _mm512_div_pd(a, b); }
    static D lo(F x) { return _mm512_cvtps_pd(_mm512_castps512_ps256(x)); }
    static D hi(F x)
    {
        return _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1)));
    }
    static F pack(D l, D h)
    {
        const __m512d low = _mm512_castps_pd(_mm512_castps256_ps512(_mm512_cvtpd_ps(l)));
        return _mm512_castpd_ps(_mm512_insertf64x4(low, _mm256_castps_pd(_mm512_cvtpd_ps(h)), 1));
    }
    static unsigned zeroF(F x) { return _mm512_cmp_ps_mask(x, _mm512_setzero_ps(), _CMP_EQ_OQ); }
    static unsigned zeroD(D x) { return _mm512_cmp_pd_mask(x, _mm512_setzero_pd(), _CMP_EQ_OQ); }
    static F clampBelowZero(F x)
    {
        const F zero = _mm512_setzero_ps();
        return _mm512_mask_mov_ps(x, _mm512_cmp_ps_mask(x, zero, _CMP_LT_OQ), zero);
    }
    // Lanes moved up (down) by one; the lane left free is filled with anything.
    static F shiftUp(F x)
    {
        return _mm512_permutexvar_ps(
            _mm512_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14), x);
    }
    static F shiftDown(F x)
    {
        return _mm512_permutexvar_ps(
            _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15), x);
    }
    // a with its first (last) lane taken from b.
    static F firstFrom(F a, F b) { return _mm512_mask_blend_ps(0x0001, a, b); }
    static F lastFrom(F a, F b) { return _mm512_mask_blend_ps(0x8000, a, b); }
    static D firstFromD(D a, D b) { return _mm512_mask_blend_pd(0x01, a, b); }
    static D lastFromD(D a, D b) { return _mm512_mask_blend_pd(0x80, a, b); }
    static float last(F x)
    {
        const __m128 h = _mm512_extractf32x4_ps(x, 3);
        return _mm_cvtss_f32(_mm_shuffle_ps(h, h, _MM_SHUFFLE(3, 3, 3, 3)));
    }
    // The results are operands of the read, so their whole evaluation comes before it.
    static bool overflowOrInvalid(F a, F b)
    {
        unsigned csr;
        asm volatile("vstmxcsr %0" : "=m"(csr) : "v"(a), "v"(b));
        return (csr & kOverflowOrInvalid) != 0;
    }
};

constexpr Kernels kAvx512f = makeKernels<Avx512f>("avx512f");

} // namespace

const Kernels& avx512fKernels()
{
    return kAvx512f;
}

} // namespace rd::simd

namespace rd::typed {

const Kernels& avx512fKernels()
{
    static constexpr Kernels kernels = makeTypedKernels<simd::Avx512f>("avx512f");
    return kernels;
}

} // namespace rd::typed
