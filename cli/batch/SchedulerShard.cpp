#include "cli/batch/SchedulerShard.h"

#include "cli/base/UsageError.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace tamberlo::cli {
namespace {

// Indices and counts beyond this are no job array's: refused before any
// arithmetic, which then cannot overflow.
constexpr long long largestValue = 2147483647;

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A whole number from 0 to largestValue, or a reason why the text is none.
struct Value {
    long long number = 0;
    std::string problem;
};

Value Parse(std::string_view text) {
    if (!AllDigits(text) && !(text.size() > 1 && text.front() == '-' && AllDigits(text.substr(1)))) {
        return {0, "is not a number: " + std::string(text)};
    }
    long long number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc{} || number < 0 || number > largestValue) {
        return {0, "is out of range (0 to " + std::to_string(largestValue) + "): " + std::string(text)};
    }
    return {number, {}};
}

// The range of an LSF job array's name, "name[1-8]" or "name[1-8:2]",
// optionally followed by "%<limit>": first, last and step as written.
struct IndexRange {
    std::string_view first, last, step;
};

std::optional<IndexRange> RangeOf(std::string_view name) {
    if (const std::size_t percent = name.rfind('%');
        percent != std::string_view::npos && AllDigits(name.substr(percent + 1))) {
        name = name.substr(0, percent);
    }
    const std::size_t open = name.rfind('[');
    if (name.empty() || name.back() != ']' || open == std::string_view::npos) return std::nullopt;
    std::string_view inside = name.substr(open + 1, name.size() - open - 2);
    IndexRange range{{}, {}, "1"};
    if (const std::size_t colon = inside.find(':'); colon != std::string_view::npos) {
        range.step = inside.substr(colon + 1);
        inside = inside.substr(0, colon);
    }
    const std::size_t dash = inside.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    range.first = inside.substr(0, dash);
    range.last = inside.substr(dash + 1);
    if (!AllDigits(range.first) || !AllDigits(range.last) || !AllDigits(range.step)) return std::nullopt;
    return range;
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
        const Value value = text ? Parse(*text) : Value{0, "is not set"};
        if (!value.problem.empty())
            throw UsageError(std::string("--shard auto: ") + scheduler + "'s " + name + " " + value.problem);
        return value.number;
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
        const long long step =
            environment("SLURM_ARRAY_TASK_STEP") ? lookup.Required("Slurm", "SLURM_ARRAY_TASK_STEP") : 1;
        if (step < 1 || (id - first) % step != 0) {
            throw UsageError("--shard auto: Slurm (" + lookup.Seen() + ") is no evenly stepped array");
        }
        return Checked("Slurm", (id - first) / step + 1, tasks, count, lookup);
    }
    if (const std::optional<std::string> index = environment("LSB_JOBINDEX"); index && *index != "0") {
        Lookup lookup(environment);
        const long long value = lookup.Required("LSF", "LSB_JOBINDEX");
        const std::optional<std::string> name = lookup.Text("LSB_JOBNAME");
        if (const std::optional<IndexRange> range = name ? RangeOf(*name) : std::nullopt) {
            const Value first = Parse(range->first), last = Parse(range->last), step = Parse(range->step);
            for (const Value* part : {&first, &last, &step}) {
                if (!part->problem.empty())
                    throw UsageError("--shard auto: LSF (" + lookup.Seen() + "): the range " + part->problem);
            }
            if (step.number < 1 || last.number < first.number || value < first.number ||
                (value - first.number) % step.number != 0) {
                throw UsageError("--shard auto: LSF (" + lookup.Seen() + ") is no evenly stepped array");
            }
            return Checked("LSF", (value - first.number) / step.number + 1,
                           (last.number - first.number) / step.number + 1, count, lookup);
        }
        if (!count)
            throw UsageError("--shard auto: LSF (" + lookup.Seen() +
                             ") names no range of indices: give --shard auto/N");
        return Checked("LSF", value, *count, count, lookup);
    }
    if (environment("JOB_COMPLETION_INDEX")) {
        Lookup lookup(environment);
        const long long index = lookup.Required("Kubernetes", "JOB_COMPLETION_INDEX");
        if (!count)
            throw UsageError("--shard auto: Kubernetes (" + lookup.Seen() +
                             ") does not say the number of parts: give --shard auto/N");
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
