#include "cli/batch/ParameterMatrix.h"

#include "cli/base/CommandText.h"
#include "cli/base/UsageError.h"
#include "cli/batch/CsvReader.h"
#include "host/AsciiCase.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <memory>
#include <cstdint>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace tamberlo::cli {
namespace {

// A text of the table as a message shows it on one line: each control
// character as "%" and its code.
std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F) {
            shown.append("%").append(std::to_string(code));
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

// Why `name` cannot name a folder on every system, or the empty text.
std::string WhyNotSafeFileName(std::string_view name) {
    if (name.empty()) return "it is empty";
    if (name == "." || name == "..") return "it is " + std::string(name);
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "it holds a control character";
        if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            return std::string("it holds ") + c + ", which a file name cannot hold on every system";
    }
    if (name.back() == '.' || name.back() == ' ') return "it ends in a dot or blank, which Windows drops";
    // Windows reserves these names for devices, with any extension.
    std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const std::unordered_set<std::string> devices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    if (devices.count(stem) != 0) return "it is the name of a device on Windows";
    return {};
}

// A parameter column: what its values set.
struct Column {
    RunSettingKind kind;
    std::string name;  // of an environment value or macro variable
    std::string title;

    // `value` set in `settings` as this column's.
    void Set(RunSettings& settings, std::string value) const {
        if (kind == RunSettingKind::Sysparm) {
            settings.sysparm = std::move(value);
        } else {
            (kind == RunSettingKind::Environment ? settings.environment : settings.macroVariables)
                .emplace_back(name, std::move(value));
        }
    }
};

class TableReader {
public:
    TableReader(const std::string& file, const SessionEncoding* encoding) : file_(file), encoding_(encoding) {}

    std::vector<ParameterMatrix::Row> Read(std::string_view text) {
        std::vector<CsvRecord> records;
        try {
            records = CsvReader::Read(text);
        } catch (const CsvReader::Malformed& malformed) {
            throw Fault(malformed.Line(), malformed.what());
        }
        if (records.empty()) throw Fault(1, "the file is empty: expected a header and a row per run");
        Header(records.front());
        if (records.size() == 1) throw Fault(records.front().line, "a header but no row");
        std::vector<ParameterMatrix::Row> rows;
        rows.reserve(records.size() - 1);
        std::unordered_map<std::string, std::size_t> lineOf;  // by the row name in upper case
        for (auto record = records.begin() + 1; record != records.end(); ++record) {
            rows.push_back(Row(*record));
            const auto [seen, added] = lineOf.emplace(AsciiUpper(rows.back().name), record->line);
            if (!added) {
                throw Fault(record->line, "row " + Shown(rows.back().name) + ": the same name as the row of line " +
                                              std::to_string(seen->second));
            }
        }
        return rows;
    }

private:
    UsageError Fault(std::size_t line, const std::string& reason) const {
        return UsageError(file_ + " line " + std::to_string(line) + ": " + reason);
    }
    UsageError Fault(std::size_t line, std::size_t column, const std::string& reason) const {
        return Fault(
            line, "column " + std::to_string(column + 1) + " (" + Shown(columns_[column - 1].title) + "): " + reason);
    }

    // Refuses what `settings` (one column's) cannot pass, as the options do.
    void Check(const RunSettings& settings, std::size_t line, std::size_t column) const {
        try {
            runsettings::Check(settings, encoding_);
        } catch (const UnpassableSetting& refused) {
            throw Fault(line, column, refused.Reason());
        }
    }

    void Header(const CsvRecord& header) {
        for (std::size_t i = 1; i < header.fields.size(); ++i) {
            const std::string& title = header.fields[i];
            const std::string prefix = AsciiUpper(std::string_view(title).substr(0, 4));
            Column column{RunSettingKind::Sysparm, {}, title};
            if (prefix == "SET:" || prefix == "LET:") {
                column.kind = prefix == "SET:" ? RunSettingKind::Environment : RunSettingKind::MacroVariable;
                column.name = title.substr(4);
            } else if (AsciiUpper(title) != "SYSPARM") {
                throw Fault(header.line, "column " + std::to_string(i + 1) + " (" + Shown(title) +
                                             "): expected sysparm, set:NAME or let:NAME");
            }
            columns_.push_back(column);
            RunSettings named;
            column.Set(named, {});
            Check(named, header.line, i);
            for (std::size_t j = 0; j + 1 < columns_.size(); ++j) {
                if (columns_[j].kind == column.kind && AsciiUpper(columns_[j].name) == AsciiUpper(column.name))
                    throw Fault(header.line, i, "the same parameter as column " + std::to_string(j + 2));
            }
        }
        if (columns_.empty()) {
            throw Fault(header.line,
                        "no parameter column: expected the row names' column, then sysparm, set:NAME or let:NAME, "
                        "separated by commas");
        }
    }

    ParameterMatrix::Row Row(const CsvRecord& record) const {
        if (record.fields.size() != columns_.size() + 1) {
            const std::size_t count = record.fields.size();
            throw Fault(record.line, std::to_string(count) + (count == 1 ? " field" : " fields") +
                                         " where the header has " + std::to_string(columns_.size() + 1));
        }
        ParameterMatrix::Row row{record.fields.front(), {}};
        if (const std::string why = WhyNotSafeFileName(row.name); !why.empty())
            throw Fault(record.line, "the row name \"" + Shown(row.name) + "\" cannot name a folder: " + why);
        for (std::size_t i = 1; i < record.fields.size(); ++i) {
            RunSettings one;
            columns_[i - 1].Set(one, record.fields[i]);
            Check(one, record.line, i);
            columns_[i - 1].Set(row.values, record.fields[i]);
        }
        return row;
    }

    const std::string& file_;
    const SessionEncoding* encoding_;
    std::vector<Column> columns_;
};

// `values` over `into`: a name given in both keeps the value of `values`.
void Override(std::vector<RunSettings::NamedValue>& into, const std::vector<RunSettings::NamedValue>& values) {
    for (const RunSettings::NamedValue& value : values) {
        const auto same = [&value](const RunSettings::NamedValue& entry) { return entry.first == value.first; };
        into.erase(std::remove_if(into.begin(), into.end(), same), into.end());
        into.push_back(value);
    }
}

}  // namespace

ParameterMatrix ParameterMatrix::Load(const std::string& file, const SessionEncoding* encoding) {
    // Far more than a table of runs needs; a device or pipe (/dev/zero)
    // would never end.
    constexpr std::uintmax_t largest = std::uintmax_t{256} << 20;
    const std::filesystem::path path = commandtext::ToPath(file);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        throw UsageError("--matrix " + file + ": not a regular file");
    if (const std::uintmax_t size = std::filesystem::file_size(path, ec); !ec && size > largest)
        throw UsageError("--matrix " + file + ": larger than 256 MiB");
    std::string text;
    try {
        text = filesystem::ReadWholeFile(path);
    } catch (const Error& error) {
        throw UsageError("--matrix " + file + ": " + commandtext::FromHost(error.Description()));
    }
    return Parse(file, text, encoding);
}

ParameterMatrix ParameterMatrix::Parse(const std::string& file, std::string_view text,
                                       const SessionEncoding* encoding) {
    ParameterMatrix matrix;
    matrix.rows_ = TableReader(file, encoding).Read(text);
    return matrix;
}

BatchProgramList ParameterMatrix::Runs(const BatchProgramList& programs, const RunSettings& commandLine) const {
    // A row's parameters, made once and shared by its runs.
    std::vector<std::shared_ptr<const RunSettings>> parameters;
    parameters.reserve(rows_.size());
    for (const Row& row : rows_) {
        RunSettings settings = commandLine;
        if (row.values.sysparm) settings.sysparm = row.values.sysparm;
        Override(settings.environment, row.values.environment);
        Override(settings.macroVariables, row.values.macroVariables);
        parameters.push_back(std::make_shared<const RunSettings>(std::move(settings)));
    }
    BatchProgramList runs;
    for (const BatchProgram& program : programs) {
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            BatchProgram run = program;
            run.name = program.name + "[" + rows_[row].name + "]";
            run.row = rows_[row].name;
            run.outputName = rows_[row].name + "/" + program.name;
            run.parameters = parameters[row];
            runs.Add(run);
        }
    }
    return runs;
}

}  // namespace tamberlo::cli
