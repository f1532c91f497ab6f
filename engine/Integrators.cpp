// The entry points the window and the batch tool call, and the choice of the path they
// take: the vector kernels of the best instruction set the processor supports, or the
// plain loops where no kernels exist.
#include "engine/Integrators.h"

#include "engine/SimdKernels.h"
#include "engine/TypedKernels.h"

namespace rd {

namespace {

bool runsOnThisMachine(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar:
        return true;
#if defined(RDSIM_X86_KERNELS)
    case SimdLevel::Sse2:
        return true;
    case SimdLevel::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case SimdLevel::Avx512f:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#else
    default:
        return false;
#endif
    }
    return false;
}

const simd::Kernels* kernelsOf(SimdLevel level)
{
#if defined(RDSIM_X86_KERNELS)
    switch (level) {
    case SimdLevel::Scalar:
        return nullptr;
    case SimdLevel::Sse2:
        return &simd::sse2Kernels();
    case SimdLevel::Avx2:
        return &simd::avx2Kernels();
    case SimdLevel::Avx512f:
        return &simd::avx512fKernels();
    }
#else
    (void)level;
#endif
    return nullptr;
}

SimdLevel& currentLevel()
{
    static SimdLevel level = availableSimdLevels().back();
    return level;
}

} // namespace

const char* simdLevelName(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar:
        return "scalar";
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2:
        return "avx2";
    case SimdLevel::Avx512f:
        return "avx512f";
    }
    return "scalar";
}

SimdLevel simdLevel()
{
    return currentLevel();
}

const char* dispatchedPathName()
{
    return simdLevelName(currentLevel());
}

std::vector<SimdLevel> availableSimdLevels()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel l : { SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512f })
        if ((l == SimdLevel::Scalar || kernelsOf(l) != nullptr) && runsOnThisMachine(l))
            levels.push_back(l);
    return levels;
}

bool setSimdLevelForTesting(SimdLevel level)
{
    for (SimdLevel l : availableSimdLevels())
        if (l == level) {
            currentLevel() = level;
            return true;
        }
    return false;
}

namespace simd {
const Kernels* dispatchedKernels()
{
    return kernelsOf(currentLevel());
}
} // namespace simd

// The typed models' kernels of the same level.
const typed::Kernels* typed::dispatchedKernels()
{
#if defined(RDSIM_X86_KERNELS)
    switch (currentLevel()) {
    case SimdLevel::Scalar:
        return nullptr;
    case SimdLevel::Sse2:
        return &typed::sse2Kernels();
    case SimdLevel::Avx2:
        return &typed::avx2Kernels();
    case SimdLevel::Avx512f:
        return &typed::avx512fKernels();
    }
#endif
    return nullptr;
}

void Step2DFromA(SimState& s, Model model)
{
    if (const simd::Kernels* k = kernelsOf(currentLevel()))
        simd::step2D(s, model, true, *k);
    else
        scalar::Step2DFromA(s, model);
}

void Step2DFromB(SimState& s, Model model)
{
    if (const simd::Kernels* k = kernelsOf(currentLevel()))
        simd::step2D(s, model, false, *k);
    else
        scalar::Step2DFromB(s, model);
}

void Step1D(SimState& s, Model model)
{
    if (const simd::Kernels* k = kernelsOf(currentLevel()))
        simd::step1D(s, model, *k);
    else
        scalar::Step1D(s, model);
}

} // namespace rd
