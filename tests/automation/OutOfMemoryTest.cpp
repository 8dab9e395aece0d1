// A CodeRunner is never left without an engine to crash on: it cannot be
// copied or moved, and a Reset that runs out of memory leaves an object that
// raises 7 "Out of memory" until a later Reset succeeds.
#include "ErrorMatcher.h"
#include "TestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <type_traits>

using namespace tamberlo;
using tamberlo::test::IsError;

namespace {

std::atomic<bool> failAllocations{false};

}  // namespace

// The replacement pair allocates with malloc and frees with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (failAllocations.load()) throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

static_assert(!std::is_copy_constructible_v<CodeRunner> && !std::is_copy_assignable_v<CodeRunner>);
static_assert(!std::is_move_constructible_v<CodeRunner> && !std::is_move_assignable_v<CodeRunner>);

TEST(OutOfMemory, AFailedResetLeavesARunnerThatRaises7UntilAResetSucceeds) {
    CodeRunner runner;
    runner.SetSASCode("%put kept;");
    bool threw = false;
    failAllocations = true;
    try {
        runner.Reset();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    failAllocations = false;
    ASSERT_TRUE(threw);

    const std::function<void()> members[] = {
        [&] { runner.CleanOutput(); },
        [&] { runner.SetCleanOutput(false); },
        [&] { runner.DebugInfo(); },
        [&] { runner.Execute(); },
        [&] { runner.Log(); },
        [&] { runner.Lst(); },
        [&] { runner.PutFile(1); },
        [&] { runner.PutFileKeys(); },
        [&] { runner.SafeFormChar(); },
        [&] { runner.SetSafeFormChar(false); },
        [&] { runner.SetSASCode("x;"); },
        [&] { runner.SASCode(); },
    };
    for (const auto& member : members) {
        const Error error = test::ErrorOf(member);
        EXPECT_THAT(error, IsError(7, "Tamberlo", "Out of memory"));
    }
    EXPECT_EQ(runner.LastExitCode(), std::nullopt);
    EXPECT_EQ(runner.LastExecuteReturnValue(), "");

    runner.Reset();
    EXPECT_EQ(runner.SASCode(), "");
    EXPECT_TRUE(runner.CleanOutput());
}
