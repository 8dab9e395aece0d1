#include "host/ProcessorFeatures.h"

#include <algorithm>
#include <atomic>

namespace tamberlo {

namespace {

// The block loops are built for x86 (32- and 64-bit) with GCC or clang, each
// compiled for its own instruction set and chosen here at run time.
VectorLevel AskProcessor() noexcept {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return VectorLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return VectorLevel::Sse2;
#endif
    return VectorLevel::Scalar;
}

std::atomic<VectorLevel> cap{VectorLevel::Avx2};

}  // namespace

VectorLevel SupportedVectorLevel() noexcept {
    static const VectorLevel supported = AskProcessor();
    return supported;
}

VectorLevel ActiveVectorLevel() noexcept {
    return std::min(SupportedVectorLevel(), cap.load(std::memory_order_relaxed));
}

VectorLevelCap::VectorLevelCap(VectorLevel level) noexcept : previous_(cap.exchange(level)) {}

VectorLevelCap::~VectorLevelCap() { cap.store(previous_); }

}  // namespace tamberlo
