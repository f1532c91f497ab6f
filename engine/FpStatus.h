// Access to the floating-point status flags. A step clears the flags once and then
// tests them after every store, so an overflow or invalid operation anywhere in the
// evaluation of a stored value is caught at that store.
#pragma once

#include "engine/EngineError.h"

#if defined(__SSE2__) || defined(__x86_64__)
#define RD_FP_STATUS_MXCSR 1
#else
#include <cfenv>
#endif

namespace rd::fp {

#ifdef RD_FP_STATUS_MXCSR
inline constexpr unsigned kInvalid = 0x01;
inline constexpr unsigned kOverflow = 0x08;
inline constexpr unsigned kAllFlags = 0x3F;

inline unsigned readStatus()
{
    unsigned csr;
    asm volatile("stmxcsr %0" : "=m"(csr));
    return csr;
}

// The memory clobber keeps the loads of the computation that follows, and so the
// computation itself, after the clear.
inline void clearFlags()
{
    unsigned csr = readStatus() & ~kAllFlags;
    asm volatile("ldmxcsr %0" : : "m"(csr) : "memory");
}

// The stored value is an input of the read, so its computation cannot move past it.
inline bool overflowOrInvalid(float stored)
{
    unsigned csr;
    asm volatile("stmxcsr %0" : "=m"(csr) : "x"(stored));
    return (csr & (kInvalid | kOverflow)) != 0;
}
#else
inline void clearFlags()
{
    std::feclearexcept(FE_ALL_EXCEPT);
}
inline bool overflowOrInvalid(float stored)
{
    volatile float sink = stored;
    (void)sink;
    return std::fetestexcept(FE_OVERFLOW | FE_INVALID) != 0;
}
#endif

inline void checkStore(float stored)
{
    if (overflowOrInvalid(stored))
        throw EngineError(EngineError::Kind::Overflow, {});
}

} // namespace rd::fp
