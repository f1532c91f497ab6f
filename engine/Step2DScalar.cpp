#include "EngineError.h"
#include "FpStatus.h"
#include "Integrators.h"
#include "Kinetics.h"

#include <cstdint>
#include <string>

namespace rd::scalar {

namespace {

void requireCells2D(const SimState& s, const std::vector<float>& a)
{
    const std::int64_t n = s.nCells;
    // The highest element a step touches: n*n - 1, or the spare element 1 when n = 1.
    const std::int64_t needed = n <= 0 ? 0 : (n == 1 ? 2 : n * n);
    if (static_cast<std::int64_t>(a.size()) < needed)
        throw EngineError(EngineError::Kind::SubscriptOutOfRange,
            std::to_string(a.size()) + " elements for " + std::to_string(n) + " x "
                + std::to_string(n) + " cells");
}

inline double d(float x) { return static_cast<double>(x); }

// The mirrored diffusion term of one species at cell (i, j). Cases are tested in this
// order: row 0, row L, other rows; within a row column 0, column L, other columns. Each
// edge counts its inward neighbour twice (x + x in double), operands added as written.
inline double diffusionTerm(const float* a, std::int64_t k, std::int32_t i, std::int32_t j,
    std::int32_t N, std::int32_t L, double c, double c2)
{
    if (j == 0) {
        if (i == 0)
            return (d(a[k + N]) + d(a[k + 1])) * c2;
        if (i == L)
            return (d(a[k + N]) + d(a[k - 1])) * c2;
        return (d(a[k + 1]) + d(a[k - 1]) + (d(a[k + N]) + d(a[k + N]))) * c;
    }
    if (j == L) {
        if (i == 0)
            return (d(a[k - N]) + d(a[k + 1])) * c2;
        if (i == L)
            return (d(a[k - N]) + d(a[k - 1])) * c2;
        return (d(a[k + 1]) + d(a[k - 1]) + (d(a[k - N]) + d(a[k - N]))) * c;
    }
    if (i == 0)
        return ((d(a[k + 1]) + d(a[k + 1])) + d(a[k - N]) + d(a[k + N])) * c;
    if (i == L)
        return ((d(a[k - 1]) + d(a[k - 1])) + d(a[k - N]) + d(a[k + N])) * c;
    return (d(a[k + 1]) + d(a[k - 1]) + d(a[k - N]) + d(a[k + N])) * c;
}

template <Model M>
void step2D(SimState& s, const std::vector<float>& uSv, const std::vector<float>& vSv,
    std::vector<float>& uTv, std::vector<float>& vTv)
{
    const std::int32_t N = s.nCells;
    const std::int32_t L = s.lastIdx;
    const float* uS = uSv.data();
    const float* vS = vSv.data();
    float* uT = uTv.data();
    float* vT = vTv.data();
    const KineticsConstants c = KineticsConstants::from(s);
    const double cu = s.cu, cv = s.cv;
    const double cu2 = cu + cu, cv2 = cv + cv;
    const double su = s.su, sv = s.sv;
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0, j = 0;
    fp::clearFlags();
    try {
        for (j = 0; j <= L; ++j) {
            for (i = 0; i <= L; ++i) {
                const std::int64_t k = static_cast<std::int64_t>(j) * N + i;
                kinetics::rates<M>(c, uS[k], vS[k], synU, synV);
                const double termU = diffusionTerm(uS, k, i, j, N, L, cu, cu2);
                uT[k] = static_cast<float>(termU + d(uS[k]) * su + d(synU));
                fp::checkStore(uT[k]);
                const double termV = diffusionTerm(vS, k, i, j, N, L, cv, cv2);
                vT[k] = static_cast<float>(termV + d(vS[k]) * sv + d(synV));
                fp::checkStore(vT[k]);
                if (uT[k] < 0.0f)
                    uT[k] = 0.0f;
                if (vT[k] < 0.0f)
                    vT[k] = 0.0f;
            }
        }
    } catch (const EngineError& e) {
        s.synU = synU;
        s.synV = synV;
        throw EngineError(e.kind(),
            "at cell column " + std::to_string(i) + ", row " + std::to_string(j));
    }
    s.synU = synU;
    s.synV = synV;
}

void step2D(SimState& s, Model model, bool fromA)
{
    auto& uS = fromA ? s.uA : s.uB;
    auto& vS = fromA ? s.vA : s.vB;
    auto& uT = fromA ? s.uB : s.uA;
    auto& vT = fromA ? s.vB : s.vA;
    for (const auto* a : { &uS, &vS, &uT, &vT })
        requireCells2D(s, *a);
    switch (model) {
    case Model::GiererMeinhardt:
        step2D<Model::GiererMeinhardt>(s, uS, vS, uT, vT);
        break;
    case Model::Schnakenberg:
        step2D<Model::Schnakenberg>(s, uS, vS, uT, vT);
        break;
    case Model::GrayScott:
        step2D<Model::GrayScott>(s, uS, vS, uT, vT);
        break;
    case Model::Oregonator:
        step2D<Model::Oregonator>(s, uS, vS, uT, vT);
        break;
    }
    // Only a complete step changes which set is current.
    s.phaseA = fromA ? kFalse : kTrue;
}

} // namespace

void Step2DFromA(SimState& s, Model model) { step2D(s, model, true); }
void Step2DFromB(SimState& s, Model model) { step2D(s, model, false); }

} // namespace rd::scalar
