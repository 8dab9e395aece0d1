#pragma once

namespace tamberlo {

// The vector instruction sets that the component's block loops use, from the
// plainest to the widest. Each level includes the ones below it.
enum class VectorLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// The widest level that both this build holds code for and this processor
// runs; asked of the processor once per process.
VectorLevel SupportedVectorLevel() noexcept;

// The level the block loops use now: the supported level, or lower while a
// test has capped it (see VectorLevelCap).
VectorLevel ActiveVectorLevel() noexcept;

// While it lives, no block loop uses a level above `cap`, so that tests and
// fuzzers can run every path, the scalar fallback included, on a processor
// that has wider ones. Process-wide; meant for tests, not for concurrent use.
class VectorLevelCap {
public:
    explicit VectorLevelCap(VectorLevel cap) noexcept;
    ~VectorLevelCap();
    VectorLevelCap(const VectorLevelCap&) = delete;
    VectorLevelCap& operator=(const VectorLevelCap&) = delete;

private:
    VectorLevel previous_;
};

}  // namespace tamberlo

// Block loops for x86 (32- and 64-bit, GCC or clang) are compiled for their
// own instruction set whatever the build's baseline, and chosen at run time
// through ActiveVectorLevel().
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TAMBERLO_X86_VECTORS 1
#define TAMBERLO_TARGET_SSE2 __attribute__((target("sse2")))
#define TAMBERLO_TARGET_AVX2 __attribute__((target("avx2")))
#endif
