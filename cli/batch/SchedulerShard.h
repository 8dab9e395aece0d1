#pragma once

#include "cli/run/BatchOptions.h"

#include <functional>
#include <optional>
#include <string>

namespace tamberlo::cli {

// --shard auto: the part of the program list that this task of a job array
// runs, taken from the variables its scheduler sets.
class SchedulerShard {
public:
    // What a variable holds; nothing when it is not set.
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    struct Found {
        Shard shard;
        std::string from;  // "Slurm (SLURM_ARRAY_TASK_ID=5, SLURM_ARRAY_TASK_MIN=1, SLURM_ARRAY_TASK_COUNT=8)"
    };

    // Looks, in this order, at Slurm (SLURM_ARRAY_TASK_ID, SLURM_ARRAY_TASK_MIN,
    // SLURM_ARRAY_TASK_COUNT and SLURM_ARRAY_TASK_STEP when set), LSF
    // (LSB_JOBINDEX with the array's range in LSB_JOBNAME, "name[1-8]", or
    // `count`), a Kubernetes indexed Job (JOB_COMPLETION_INDEX, from 0, with
    // `count`) and GitLab CI (CI_NODE_INDEX, CI_NODE_TOTAL). `count` is N of
    // "--shard auto/N"; where the scheduler says N too, the two must agree.
    // Throws UsageError when none of them is there or what it says is no part.
    static Found FromEnvironment(std::optional<int> count, const Environment& environment);

    // FromEnvironment over this process's environment.
    static Found FromEnvironment(std::optional<int> count);
};

}  // namespace tamberlo::cli
