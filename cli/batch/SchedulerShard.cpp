#include "cli/batch/SchedulerShard.h"

#include "cli/UsageError.h"

#include <charconv>
#include <cstdlib>
#include <regex>

namespace tamberlo::cli {
namespace {

std::optional<long long> Number(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    long long value = 0;
    const char* last = text->data() + text->size();
    const auto [end, ec] = std::from_chars(text->data(), last, value);
    if (text->empty() || ec != std::errc{} || end != last) return std::nullopt;
    return value;
}

class Lookup {
public:
    explicit Lookup(const SchedulerShard::Environment& environment) : environment_(environment) {}

    std::optional<std::string> Text(const char* name) {
        std::optional<std::string> value = environment_(name);
        if (value) seen_ += (seen_.empty() ? "" : ", ") + std::string(name) + "=" + *value;
        return value;
    }

    // A variable that must hold a whole number once its scheduler is known.
    long long Required(const char* scheduler, const char* name) {
        const std::optional<std::string> text = Text(name);
        const std::optional<long long> value = Number(text);
        if (!value) {
            throw UsageError(std::string("--shard auto: ") + scheduler + "'s " + name +
                             (text ? " is not a number: " + *text : std::string(" is not set")));
        }
        return *value;
    }

    const std::string& Seen() const noexcept { return seen_; }

private:
    const SchedulerShard::Environment& environment_;
    std::string seen_;
};

SchedulerShard::Found Checked(const char* scheduler, long long index, long long count, std::optional<int> given,
                              const Lookup& lookup) {
    const std::string from = std::string(scheduler) + " (" + lookup.Seen() + ")";
    if (given && *given != count) {
        throw UsageError("--shard auto/" + std::to_string(*given) + ": " + from + " makes " + std::to_string(count) +
                         " parts");
    }
    if (count < 1 || index < 1 || index > count || count > 1000000) {
        throw UsageError("--shard auto: " + from + " gives part " + std::to_string(index) + " of " +
                         std::to_string(count));
    }
    return {Shard{static_cast<int>(index), static_cast<int>(count)}, from};
}

}  // namespace

SchedulerShard::Found SchedulerShard::FromEnvironment(std::optional<int> count, const Environment& environment) {
    if (environment("SLURM_ARRAY_TASK_ID")) {
        Lookup lookup(environment);
        const long long id = lookup.Required("Slurm", "SLURM_ARRAY_TASK_ID");
        const long long first = lookup.Required("Slurm", "SLURM_ARRAY_TASK_MIN");
        const long long tasks = lookup.Required("Slurm", "SLURM_ARRAY_TASK_COUNT");
        const long long step = environment("SLURM_ARRAY_TASK_STEP") ? lookup.Required("Slurm", "SLURM_ARRAY_TASK_STEP") : 1;
        if (step < 1 || (id - first) % step != 0) {
            throw UsageError("--shard auto: Slurm (" + lookup.Seen() + ") is no evenly stepped array");
        }
        return Checked("Slurm", (id - first) / step + 1, tasks, count, lookup);
    }
    if (const std::optional<std::string> index = environment("LSB_JOBINDEX"); index && *index != "0") {
        Lookup lookup(environment);
        const long long value = lookup.Required("LSF", "LSB_JOBINDEX");
        // "name[1-8]" or "name[1-8:2]": one range of indices.
        static const std::regex range(R"(\[([0-9]+)-([0-9]+)(?::([0-9]+))?\](%[0-9]+)?$)");
        std::smatch match;
        const std::optional<std::string> name = lookup.Text("LSB_JOBNAME");
        if (name && std::regex_search(*name, match, range)) {
            const long long first = std::stoll(match[1]), last = std::stoll(match[2]);
            const long long step = match[3].matched ? std::stoll(match[3]) : 1;
            if (step < 1 || last < first || (value - first) % step != 0) {
                throw UsageError("--shard auto: LSF (" + lookup.Seen() + ") is no evenly stepped array");
            }
            return Checked("LSF", (value - first) / step + 1, (last - first) / step + 1, count, lookup);
        }
        if (!count) throw UsageError("--shard auto: LSF (" + lookup.Seen() + ") names no range of indices: give --shard auto/N");
        return Checked("LSF", value, *count, count, lookup);
    }
    if (environment("JOB_COMPLETION_INDEX")) {
        Lookup lookup(environment);
        const long long index = lookup.Required("Kubernetes", "JOB_COMPLETION_INDEX");
        if (!count) throw UsageError("--shard auto: Kubernetes (" + lookup.Seen() + ") does not say the number of parts: give --shard auto/N");
        return Checked("Kubernetes", index + 1, *count, count, lookup);
    }
    if (environment("CI_NODE_INDEX")) {
        Lookup lookup(environment);
        const long long index = lookup.Required("GitLab CI", "CI_NODE_INDEX");
        const long long total = lookup.Required("GitLab CI", "CI_NODE_TOTAL");
        return Checked("GitLab CI", index, total, count, lookup);
    }
    throw UsageError(
        "--shard auto: no job array found (none of SLURM_ARRAY_TASK_ID, LSB_JOBINDEX, JOB_COMPLETION_INDEX, "
        "CI_NODE_INDEX is set)");
}

SchedulerShard::Found SchedulerShard::FromEnvironment(std::optional<int> count) {
    return FromEnvironment(count, [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
    });
}

}  // namespace tamberlo::cli
