// The SAS (SAS.EXE, natively sas) for the benchmarks that do not measure
// SAS: it does no work of its own. Its log and listing are files made ahead, named by the environment
// variables BENCHSAS_LOG_FROM and BENCHSAS_LST_FROM and hard-linked into the
// places that -LOG and -PRINT name (copied where no link can be made), so a
// run of any size of log costs one process start. Without them it writes a
// line each. Put-file statements are left alone.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string OptionValue(int argc, char** argv, const char* option) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) return argv[i + 1];
    }
    return {};
}

bool Place(const char* variable, const std::string& to, const char* otherwise) {
    if (to.empty()) return true;
    const char* from = std::getenv(variable);
    std::error_code error;
    std::filesystem::remove(to, error);
    if (!from || !*from) {
        std::ofstream out(to, std::ios::binary);
        out << otherwise;
        return static_cast<bool>(out);
    }
    std::filesystem::create_hard_link(from, to, error);
    if (!error) return true;
    return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
}

}  // namespace

int main(int argc, char** argv) {
    const bool log = Place("BENCHSAS_LOG_FROM", OptionValue(argc, argv, "-LOG"), "bench log\r\n");
    const bool listing = Place("BENCHSAS_LST_FROM", OptionValue(argc, argv, "-PRINT"), "\fbench listing\r\n");
    if (!log || !listing) {
        std::fprintf(stderr, "SAS: could not place the log or the listing\n");
        return 2;
    }
    return 0;
}
