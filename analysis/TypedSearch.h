// The search for a typed model's zeros in a box (TypedStates.cpp tells how): its pieces, and
// the search's state, shared by the files that hold its parts.
#pragma once

#include "analysis/Affine.h"
#include "analysis/Interval.h"
#include "analysis/TypedEvaluation.h"
#include "analysis/TypedStates.h"

#include <array>
#include <cmath>
#include <vector>

namespace rd::analysis::typed_search {

// Far more than a double root or a few close pairs take (some hundreds); a curve of zeros
// runs into these within milliseconds.
inline constexpr long kPieceBudget = 50000;
inline constexpr std::size_t kUndecidedLimit = 1024;

struct Piece {
    Interval u, v;
};

inline bool inside(const Piece& p, double u, double v)
{
    return p.u.contains(u) && p.v.contains(v);
}

inline Piece widened(const Piece& p, double byU, double byV)
{
    return { { p.u.lo - byU, p.u.hi + byU }, { p.v.lo - byV, p.v.hi + byV } };
}

struct Verified {
    double u, v;
    Piece unique; // no other zero lies in it
};

struct Mat {
    double a, b, c, d; // [[a, b], [c, d]]
};

inline bool invert(const Mat& m, Mat& out)
{
    const double det = m.a * m.d - m.b * m.c;
    out = { m.d / det, -m.b / det, -m.c / det, m.a / det };
    return det != 0.0 && std::isfinite(out.a) && std::isfinite(out.b) && std::isfinite(out.c)
        && std::isfinite(out.d);
}

inline double residual(const RateDerivatives& d)
{
    return std::max(std::abs(d.f), std::abs(d.g));
}

enum class Verdict { Excluded, Verified, Contracted, Undecided };

class Search {
public:
    explicit Search(const Scheme& s)
        : s_(s)
        , affine_(*s.typed)
        , box_(*s.typed)
        , point_(*s.typed)
        , extentU_(s.box.uHigh - s.box.uLow)
        , extentV_(s.box.vHigh - s.box.vLow)
        , minU_(std::ldexp(extentU_, -kResolutionBits))
        , minV_(std::ldexp(extentV_, -kResolutionBits))
    { }

    TypedZeros run();

private:
    const Scheme& s_;
    AffineEvaluation affine_;
    BoxEvaluation box_;
    PointEvaluation point_;
    double extentU_, extentV_, minU_, minV_;
    TypedZeros out_;
    std::array<Verified, kMaxSteadyStates> verified_ {};
    std::size_t verifiedCount_ = 0;

    Verdict step(Piece& x, Verified& found);
    bool unique(const Piece& k, Verified& found);
    void bisect(const Piece& x, std::vector<Piece>& stack) const;
    bool polish(double& u, double& v, int iterations);
    bool keep(double& u, double& v);
    bool add(double u, double v, bool multiple);
    void addVerified(const Verified& z);
    void addClusters(std::vector<Piece>& undecided);
    bool smallestWithin(const Piece& around, double u, double v);
};

} // namespace rd::analysis::typed_search
