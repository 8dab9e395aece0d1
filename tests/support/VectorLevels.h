#pragma once

#include "host/ProcessorFeatures.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tamberlo::test {

// A test suite run once per vector level, with the block loops capped at it:
// the scalar fallback, SSE2 and AVX2 each meet the same inputs. A level that
// this processor lacks is skipped, visibly.
class AtEveryVectorLevel : public testing::TestWithParam<VectorLevel> {
protected:
    void SetUp() override {
        if (GetParam() > SupportedVectorLevel()) GTEST_SKIP() << "this processor lacks " << Name(GetParam());
        cap_.emplace(GetParam());
    }
    void TearDown() override { cap_.reset(); }

public:
    static std::string Name(VectorLevel level) {
        switch (level) {
        case VectorLevel::Scalar: return "Scalar";
        case VectorLevel::Sse2: return "Sse2";
        case VectorLevel::Avx2: return "Avx2";
        }
        return "Unknown";
    }

private:
    std::optional<VectorLevelCap> cap_;
};

}  // namespace tamberlo::test

#define TAMBERLO_AT_EVERY_VECTOR_LEVEL(suite)                                                                     \
    INSTANTIATE_TEST_SUITE_P(                                                                                     \
        Level, suite,                                                                                             \
        testing::Values(tamberlo::VectorLevel::Scalar, tamberlo::VectorLevel::Sse2, tamberlo::VectorLevel::Avx2), \
        [](const testing::TestParamInfo<tamberlo::VectorLevel>& info) {                                           \
            return tamberlo::test::AtEveryVectorLevel::Name(info.param);                                          \
        })
