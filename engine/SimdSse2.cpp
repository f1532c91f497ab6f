// The step kernels on SSE2, the x86-64 baseline: four cells per block.
// Each lane performs the per-cell code's IEEE operations in its order and precision, without
// FMA, so it gives the per-cell bits; SimdBlock.h sets out the argument.
#include "engine/SimdBlock.h"
#include "engine/TypedBlock.h"

#include <emmintrin.h>

namespace rd::simd {
namespace {

struct Sse2 {
    using F = __m128;
    using D = __m128d;
    static constexpr int W = 4;

    static F load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, F x) { _mm_storeu_ps(p, x); }
    static F set(float x) { return _mm_set1_ps(x); }
    static D setd(double x) { return _mm_set1_pd(x); }
    static F add(F a, F b) { return _mm_add_ps(a, b); }
    static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F div(F a, F b) { return _mm_div_ps(a, b); }
    static D add(D a, D b) { return _mm_add_pd(a, b); }
    static D mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D div(D a, D b) { return _mm_div_pd(a, b); }
    static D lo(F x) { return _mm_cvtps_pd(x); }
    static D hi(F x) { return _mm_cvtps_pd(_mm_movehl_ps(x, x)); }
    static F pack(D l, D h) { return _mm_movelh_ps(_mm_cvtpd_ps(l), _mm_cvtpd_ps(h)); }
    static unsigned zeroF(F x)
    {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(x, _mm_setzero_ps())));
    }
    static unsigned zeroD(D x)
    {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpeq_pd(x, _mm_setzero_pd())));
    }
    static F clampBelowZero(F x) { return _mm_andnot_ps(_mm_cmplt_ps(x, _mm_setzero_ps()), x); }
    // Lanes moved up (down) by one; the lane left free is filled with anything.
    static F shiftUp(F x) { return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)); }
    static F shiftDown(F x) { return _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(x), 4)); }
    // a with its first (last) lane taken from b.
    static F firstFrom(F a, F b) { return _mm_move_ss(a, b); }
    static F lastFrom(F a, F b)
    {
        const F mask = _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0));
        return _mm_or_ps(_mm_and_ps(mask, b), _mm_andnot_ps(mask, a));
    }
    static D firstFromD(D a, D b) { return _mm_move_sd(a, b); }
    static D lastFromD(D a, D b) { return _mm_shuffle_pd(a, b, 2); }
    static float last(F x) { return _mm_cvtss_f32(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3))); }
    // The results are operands of the read, so their whole evaluation comes before it.
    static bool overflowOrInvalid(F a, F b)
    {
        unsigned csr;
        asm volatile("stmxcsr %0" : "=m"(csr) : "x"(a), "x"(b));
        return (csr & kOverflowOrInvalid) != 0;
    }
};

constexpr Kernels kSse2 = makeKernels<Sse2>("sse2");

} // namespace

const Kernels& sse2Kernels()
{
    return kSse2;
}

} // namespace rd::simd

namespace rd::typed {

const Kernels& sse2Kernels()
{
    static constexpr Kernels kernels = makeTypedKernels<simd::Sse2>("sse2");
    return kernels;
}

} // namespace rd::typed
