// --shard auto: which part of a job array this task is, from the variables
// of the scheduler that started it.

#include "cli/base/UsageError.h"
#include "cli/batch/SchedulerShard.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace tamberlo;

// --shard auto: the part of a job array's task, from its scheduler's variables.
TEST(SchedulerShard, TakesThePartFromTheJobArraysScheduler) {
    using Variables = std::map<std::string, std::string>;
    struct Case {
        Variables variables;
        std::optional<int> count;
        std::string found;  // "K/N from ...", or the usage error
    };
    const std::vector<Case> cases{
        {{{"SLURM_ARRAY_TASK_ID", "5"}, {"SLURM_ARRAY_TASK_MIN", "4"}, {"SLURM_ARRAY_TASK_COUNT", "8"}},
         {},
         "2/8 from Slurm (SLURM_ARRAY_TASK_ID=5, SLURM_ARRAY_TASK_MIN=4, SLURM_ARRAY_TASK_COUNT=8)"},
        {{{"SLURM_ARRAY_TASK_ID", "7"},
          {"SLURM_ARRAY_TASK_MIN", "1"},
          {"SLURM_ARRAY_TASK_COUNT", "4"},
          {"SLURM_ARRAY_TASK_STEP", "2"},
          {"CI_NODE_INDEX", "1"}},
         {},
         "4/4 from Slurm (SLURM_ARRAY_TASK_ID=7, SLURM_ARRAY_TASK_MIN=1, SLURM_ARRAY_TASK_COUNT=4, SLURM_ARRAY_TASK_STEP=2)"},
        {{{"SLURM_ARRAY_TASK_ID", "0"}, {"SLURM_ARRAY_TASK_MIN", "0"}, {"SLURM_ARRAY_TASK_COUNT", "3"}},
         4,
         "--shard auto/4: Slurm (SLURM_ARRAY_TASK_ID=0, SLURM_ARRAY_TASK_MIN=0, SLURM_ARRAY_TASK_COUNT=3) makes 3 parts"},
        {{{"SLURM_ARRAY_TASK_ID", "2"}}, {}, "--shard auto: Slurm's SLURM_ARRAY_TASK_MIN is not set"},
        {{{"LSB_JOBINDEX", "6"}, {"LSB_JOBNAME", "nightly[2-10:2]"}},
         {},
         "3/5 from LSF (LSB_JOBINDEX=6, LSB_JOBNAME=nightly[2-10:2])"},
        {{{"LSB_JOBINDEX", "3"}, {"LSB_JOBNAME", "nightly"}}, 4, "3/4 from LSF (LSB_JOBINDEX=3, LSB_JOBNAME=nightly)"},
        {{{"LSB_JOBINDEX", "0"}},
         {},
         "--shard auto: no job array found (none of SLURM_ARRAY_TASK_ID, LSB_JOBINDEX, "
         "JOB_COMPLETION_INDEX, CI_NODE_INDEX is set)"},
        {{{"JOB_COMPLETION_INDEX", "0"}}, 3, "1/3 from Kubernetes (JOB_COMPLETION_INDEX=0)"},
        {{{"JOB_COMPLETION_INDEX", "3"}}, 3, "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=3) gives part 4 of 3"},
        {{{"JOB_COMPLETION_INDEX", "0"}},
         {},
         "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=0) does not say the number of parts: give --shard auto/N"},
        {{{"CI_NODE_INDEX", "2"}, {"CI_NODE_TOTAL", "4"}}, {}, "2/4 from GitLab CI (CI_NODE_INDEX=2, CI_NODE_TOTAL=4)"},
        {{{"CI_NODE_INDEX", "x"}, {"CI_NODE_TOTAL", "4"}},
         {},
         "--shard auto: GitLab CI's CI_NODE_INDEX is not a number: x"},
        // Values beyond any job array: refused, never an overflow.
        {{{"LSB_JOBINDEX", "1"}, {"LSB_JOBNAME", "x[1-99999999999999999999]"}},
         {},
         "--shard auto: LSF (LSB_JOBINDEX=1, LSB_JOBNAME=x[1-99999999999999999999]): the range is out of range (0 to "
         "2147483647): 99999999999999999999"},
        {{{"LSB_JOBINDEX", "99999999999999999999"}},
         2,
         "--shard auto: LSF's LSB_JOBINDEX is out of range (0 to 2147483647): 99999999999999999999"},
        {{{"LSB_JOBINDEX", "3"}, {"LSB_JOBNAME", "x[5-9]"}},
         {},
         "--shard auto: LSF (LSB_JOBINDEX=3, LSB_JOBNAME=x[5-9]) is no evenly stepped array"},
        {{{"SLURM_ARRAY_TASK_ID", "9223372036854775807"}, {"SLURM_ARRAY_TASK_MIN", "-9223372036854775807"}},
         {},
         "--shard auto: Slurm's SLURM_ARRAY_TASK_ID is out of range (0 to 2147483647): 9223372036854775807"},
        {{{"SLURM_ARRAY_TASK_ID", "1"}, {"SLURM_ARRAY_TASK_MIN", "-1"}, {"SLURM_ARRAY_TASK_COUNT", "2"}},
         {},
         "--shard auto: Slurm's SLURM_ARRAY_TASK_MIN is out of range (0 to 2147483647): -1"},
        {{{"SLURM_ARRAY_TASK_ID", "1"},
          {"SLURM_ARRAY_TASK_MIN", "1"},
          {"SLURM_ARRAY_TASK_COUNT", "2"},
          {"SLURM_ARRAY_TASK_STEP", "0"}},
         {},
         "--shard auto: Slurm (SLURM_ARRAY_TASK_ID=1, SLURM_ARRAY_TASK_MIN=1, "
         "SLURM_ARRAY_TASK_COUNT=2, SLURM_ARRAY_TASK_STEP=0) is no evenly stepped array"},
        {{{"JOB_COMPLETION_INDEX", "2147483647"}},
         3,
         "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=2147483647) gives part 2147483648 of 3"},
        {{{"CI_NODE_INDEX", "1"}, {"CI_NODE_TOTAL", " 4"}},
         {},
         "--shard auto: GitLab CI's CI_NODE_TOTAL is not a number:  4"},
    };
    for (const Case& c : cases) {
        const auto environment = [&c](const char* name) -> std::optional<std::string> {
            const auto found = c.variables.find(name);
            if (found == c.variables.end()) return std::nullopt;
            return found->second;
        };
        std::string found;
        try {
            const cli::SchedulerShard::Found shard = cli::SchedulerShard::FromEnvironment(c.count, environment);
            found = shard.shard.Text() + " from " + shard.from;
        } catch (const cli::UsageError& error) {
            found = error.what();
        }
        EXPECT_EQ(found, c.found);
    }
}
