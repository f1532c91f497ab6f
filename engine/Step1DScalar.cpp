#include "EngineError.h"
#include "FpStatus.h"
#include "Integrators.h"
#include "Kinetics.h"

#include <cstdint>
#include <string>

namespace rd::scalar {

namespace {

inline double d(float x) { return static_cast<double>(x); }

void requireCells1D(const SimState& s)
{
    const std::int64_t n = s.nCells;
    // Cell 0 reads element 1, the spare element when n = 1.
    const std::int64_t needed = n <= 0 ? 0 : (n == 1 ? 2 : n);
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        if (static_cast<std::int64_t>(a->size()) < needed)
            throw EngineError(EngineError::Kind::SubscriptOutOfRange,
                std::to_string(a->size()) + " elements for " + std::to_string(n) + " cells");
    if (n >= 2 && (s.lastInner < 0 || s.lastInner >= n))
        throw EngineError(EngineError::Kind::SubscriptOutOfRange,
            "inner end cell " + std::to_string(s.lastInner));
}

template <Model M> void step1D(SimState& s)
{
    const std::int32_t L = s.lastIdx;
    const std::int32_t inner = s.lastInner;
    const float* uA = s.uA.data();
    const float* vA = s.vA.data();
    float* uB = s.uB.data();
    float* vB = s.vB.data();
    const KineticsConstants c = KineticsConstants::from(s);
    const double cu = s.cu, cv = s.cv;
    const double cu2 = cu + cu, cv2 = cv + cv;
    const double su = s.su, sv = s.sv;
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0;
    fp::clearFlags();
    try {
        // Computing pass: reads set A only, writes set B only.
        for (i = 0; i <= L; ++i) {
            kinetics::rates<M>(c, uA[i], vA[i], synU, synV);
            if (i == 0) {
                uB[i] = static_cast<float>(cu2 * d(uA[1]) + d(uA[0]) * su + d(synU));
                fp::checkStore(uB[i]);
                vB[i] = static_cast<float>(cv2 * d(vA[1]) + d(vA[0]) * sv + d(synV));
                fp::checkStore(vB[i]);
            } else if (i == L) {
                uB[i] = static_cast<float>(cu2 * d(uA[inner]) + d(uA[L]) * su + d(synU));
                fp::checkStore(uB[i]);
                vB[i] = static_cast<float>(cv2 * d(vA[inner]) + d(vA[L]) * sv + d(synV));
                fp::checkStore(vB[i]);
            } else {
                uB[i] = static_cast<float>(
                    (d(uA[i + 1]) + d(uA[i - 1])) * cu + d(uA[i]) * su + d(synU));
                fp::checkStore(uB[i]);
                vB[i] = static_cast<float>(
                    (d(vA[i + 1]) + d(vA[i - 1])) * cv + d(vA[i]) * sv + d(synV));
                fp::checkStore(vB[i]);
            }
        }
    } catch (const EngineError& e) {
        s.synU = synU;
        s.synV = synV;
        throw EngineError(e.kind(), "at cell " + std::to_string(i));
    }
    s.synU = synU;
    s.synV = synV;
    // Copying pass: the line's state always ends in set A.
    float* uAw = s.uA.data();
    float* vAw = s.vA.data();
    for (i = 0; i <= L; ++i) {
        if (uB[i] < 0.0f)
            uB[i] = 0.0f;
        if (vB[i] < 0.0f)
            vB[i] = 0.0f;
        uAw[i] = uB[i];
        vAw[i] = vB[i];
    }
}

} // namespace

void Step1D(SimState& s, Model model)
{
    requireCells1D(s);
    switch (model) {
    case Model::GiererMeinhardt:
        return step1D<Model::GiererMeinhardt>(s);
    case Model::Schnakenberg:
        return step1D<Model::Schnakenberg>(s);
    case Model::GrayScott:
        return step1D<Model::GrayScott>(s);
    case Model::Oregonator:
        return step1D<Model::Oregonator>(s);
    }
}

} // namespace rd::scalar
