#include "support/BenchText.h"

#include <array>
#include <cstdint>
#include <random>

namespace tamberlo::bench {

namespace {

constexpr const char* CrLf = "\r\n";

// A fixed seed: every run measures the same text.
std::mt19937 Generator(std::uint32_t salt) { return std::mt19937(20240601u + salt); }

int Pick(std::mt19937& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

template <std::size_t N>
const char* PickFrom(std::mt19937& random, const std::array<const char*, N>& choices) {
    return choices[static_cast<std::size_t>(Pick(random, 0, static_cast<int>(N) - 1))];
}

constexpr std::array<const char*, 10> Tables = {"sales_2023", "region_totals", "cust_master", "order_lines",
                                                "price_list", "stock_levels",  "emp_hours",   "claims_open",
                                                "visit_log",  "fx_rates"};
constexpr std::array<const char*, 12> Variables = {"region_id", "sale_amt",  "sale_date",  "tax_amt",
                                                   "cust_no",   "qty",       "unit_price", "total_amt",
                                                   "status_cd", "open_flag", "rate",       "n_visits"};
constexpr std::array<const char*, 6> Procedures = {"print", "means", "freq", "sort", "summary", "contents"};

void AppendStep(std::string& text, std::mt19937& random, bool writesPutFile) {
    const std::string table = PickFrom(random, Tables);
    const std::string a = PickFrom(random, Variables);
    const std::string b = PickFrom(random, Variables);
    const std::string c = PickFrom(random, Variables);
    switch (Pick(random, 0, 4)) {
    case 0:
        text += "/* Monthly figures for " + table + ", step " + std::to_string(Pick(random, 1, 999)) + " */" + CrLf;
        text += "data work." + table + "_m" + std::to_string(Pick(random, 1, 12)) + ";" + CrLf;
        text += "  set raw." + table + " (keep=" + a + " " + b + " " + c + ");" + CrLf;
        text += "  where " + a + " > " + std::to_string(Pick(random, 0, 5000)) + ";" + CrLf;
        text += "  " + c + " = sum(" + a + ", " + b + ");" + CrLf;
        text += "  if _n_ = 1 then put 'first row of " + table + "';" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
        break;
    case 1:
        text += std::string("proc ") + PickFrom(random, Procedures) + " data=work." + table + " noprint;" + CrLf;
        text += "  class " + a + ";" + CrLf;
        text += "  var " + b + " " + c + ";" + CrLf;
        text += "  output out=work." + table + "_stats mean=avg_" + b + " sum=sum_" + c + ";" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
        break;
    case 2:
        text += "%let cutoff_" + std::to_string(Pick(random, 1, 99)) + " = " + std::to_string(Pick(random, 10, 9999)) +
                ";" + CrLf;
        text += "proc sort data=work." + table + " out=work.sorted_" + table + " nodupkey;" + CrLf;
        text += "  by " + a + " " + b + ";" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
        break;
    case 3:
        text += "* Checks on " + table + " before the merge;" + CrLf;
        text += "data work.checked_" + table + " work.rejects_" + table + ";" + CrLf;
        text += "  merge work." + table + " (in=in_a) work.fx_rates (in=in_b);" + CrLf;
        text += "  by " + a + ";" + CrLf;
        text += "  if in_a and not in_b then output work.rejects_" + table + ";" + CrLf;
        text += "  else output work.checked_" + table + ";" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
        break;
    default:
        text += "proc print data=work." + table + "(obs=" + std::to_string(Pick(random, 5, 50)) + ") noobs;" + CrLf;
        text += "  title \"First rows of " + table + " by " + a + "\";" + CrLf;
        text += "  var " + a + " " + b + " " + c + ";" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
        break;
    }
    if (writesPutFile) {
        const std::string fileref = "_PUT" + std::to_string(Pick(random, 1, 40));
        text += std::string("data _null_;") + CrLf;
        text += "  set work." + table + ";" + CrLf;
        text += "  file " + fileref + " lrecl=32767;" + CrLf;
        text += "  put " + a + " " + b + " " + c + ";" + CrLf;
        text += std::string("run;") + CrLf + CrLf;
    }
}

}  // namespace

std::string MakeSasProgram(std::size_t size, int putEvery) {
    std::mt19937 random = Generator(1);
    std::string text;
    text.reserve(size + 1024);
    while (text.size() < size) AppendStep(text, random, Pick(random, 1, putEvery) == 1);
    text.resize(size);
    return text;
}

std::string MakeListing(std::size_t size) {
    std::mt19937 random = Generator(2);
    std::string text;
    text.reserve(size + 1024);
    int page = 0;
    while (text.size() < size) {
        ++page;
        text += "\f                                    The SAS System      09:14 Monday, June 3, 2024   " +
                std::to_string(page) + CrLf + CrLf;
        text += std::string("Obs    region_id    sale_amt      tax_amt    total_amt    status_cd") + CrLf + CrLf;
        for (int line = 4; line < 60; ++line) {
            text += std::to_string(page * 60 + line);
            text += Pick(random, 1, 8) == 1 ? "\t" : "      ";
            text += std::to_string(Pick(random, 100, 999)) + "       " + std::to_string(Pick(random, 10000, 99999)) +
                    ".25     " + std::to_string(Pick(random, 100, 9999)) + ".10    " +
                    std::to_string(Pick(random, 10000, 99999)) + ".35       " +
                    (Pick(random, 0, 1) ? "OPEN" : "CLOSED") + CrLf;
        }
    }
    text.resize(size);
    return text;
}

std::string MakeLog(std::size_t size) {
    std::mt19937 random = Generator(3);
    std::string text;
    text.reserve(size + 1024);
    int line = 0;
    int sourceLine = 0;
    while (text.size() < size) {
        if (line % 60 == 0)
            text += "\f1                                          The SAS System   09:14 Monday, June 3, 2024\r\n";
        ++line;
        const std::string table = PickFrom(random, Tables);
        switch (Pick(random, 0, 5)) {
        case 0:
            text += "NOTE: There were " + std::to_string(Pick(random, 1, 99999)) +
                    " observations read from the data set WORK." + table + "." + CrLf;
            break;
        case 1:
            text += "NOTE: The data set WORK." + table + " has " + std::to_string(Pick(random, 1, 99999)) +
                    " observations and " + std::to_string(Pick(random, 2, 40)) + " variables." + CrLf;
            break;
        case 2:
            text += "NOTE: DATA statement used (Total process time):" + std::string(CrLf) +
                    "      real time           0.0" + std::to_string(Pick(random, 1, 9)) + " seconds" + CrLf;
            break;
        case 3:
            text += std::string(Pick(random, 1, 10) == 1 ? "\t" : "") + "WARNING: Variable " +
                    PickFrom(random, Variables) + " already exists on file WORK." + table + "." + CrLf;
            break;
        default:
            text += std::to_string(++sourceLine) + "         data work." + table + "; set raw." + table + "; " +
                    PickFrom(random, Variables) + " = 0; run;" + CrLf;
            break;
        }
    }
    text.resize(size);
    return text;
}

std::string MakeDataLines(std::size_t size) {
    std::mt19937 random = Generator(4);
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        text += std::to_string(Pick(random, 100, 999)) + "," + PickFrom(random, Tables) + "," +
                std::to_string(Pick(random, 10000, 99999)) + ".25," + (Pick(random, 0, 1) ? "OPEN" : "CLOSED") + CrLf;
    }
    text.resize(size);
    return text;
}

}  // namespace tamberlo::bench
