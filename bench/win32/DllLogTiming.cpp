// Under Wine: the Log of a 100 MiB SAS log read through Tamberlo.dll as a
// BSTR, against reading the same file once, side by side in one process;
// and the peak memory of one such read beyond what the run left stored;
// then the same timing for a UTF-8 session's log, the encoding set in
// HKCU\Software\Tamberlo\Encoding as script clients set it.
// There is no Google Benchmark for this target, so it times the two itself:
// rounds alternating in order, medians, the ratio as the median of the
// rounds' ratios. Prints its figures and appends the summary rows, in the
// native benchmarks' tab-separated form, to the file named by its first
// argument (a host path), if any.
#include "support/BenchText.h"

#include "automation/com/ComPtr.h"
#include "automation/com/UniqueBstr.h"

#include <initguid.h>

#include "Tamberlo_h.h"

#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using tamberlo::com::ComPtr;
using tamberlo::com::UniqueBstr;

constexpr std::size_t LogSize = 100 * 1024 * 1024;
constexpr int Rounds = 11;

[[noreturn]] void Fail(const char* what, HRESULT status = S_OK) {
    std::fprintf(stderr, "dll_log_timing: %s (0x%08lx)\n", what, static_cast<unsigned long>(status));
    std::exit(2);
}

// A host path, as the build hands it over, as Wine's Windows path of it.
std::string WindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!path.empty() && path.front() == '\\') path = "Z:" + path;
    return path;
}

UniqueBstr Bstr(const std::string& text) {
    std::wstring wide(text.begin(), text.end());
    return UniqueBstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

template <typename Operation>
double SecondsOf(Operation&& operation) {
    const auto start = std::chrono::steady_clock::now();
    operation();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One read of the whole file into new memory, the plain Windows way.
std::size_t ReadFileOnce(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open the log file");
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    const std::size_t bytes = static_cast<std::size_t>(size.QuadPart);
    const std::unique_ptr<char[]> content(new char[bytes]);
    std::size_t filled = 0;
    while (filled < bytes) {
        DWORD got = 0;
        if (!ReadFile(file, content.get() + filled, static_cast<DWORD>(bytes - filled), &got, nullptr) || got == 0) {
            Fail("cannot read the log file");
        }
        filled += got;
    }
    CloseHandle(file);
    return filled;
}

std::size_t WorkingSet(bool peak) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize;
}

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Rounds of the runner's Log as a BSTR against one read of `file`,
// alternating in order; medians, and the ratio as the median of the rounds'.
struct Timing {
    double logSeconds = 0;
    double readSeconds = 0;
    double ratio = 0;
    int leftOut = 0;  // rounds whose read took no measurable time
    std::size_t logLength = 0;
};

Timing TimeLogAgainstRead(_CodeRunner* runner, const std::string& file, std::size_t fileSize) {
    std::vector<double> logSeconds;
    std::vector<double> readSeconds;
    std::vector<double> ratios;
    Timing timing;
    for (int round = 0; round < Rounds; ++round) {
        const auto readLog = [&] {
            UniqueBstr log;
            const HRESULT status = runner->get_Log(log.put());
            if (FAILED(status)) Fail("Log failed", status);
            timing.logLength = SysStringLen(log.get());
        };
        const auto readFile = [&] {
            if (ReadFileOnce(file) != fileSize) Fail("short read");
        };
        double viaDll = 0;
        double direct = 0;
        if (round % 2 == 0) {
            viaDll = SecondsOf(readLog);
            direct = SecondsOf(readFile);
        } else {
            direct = SecondsOf(readFile);
            viaDll = SecondsOf(readLog);
        }
        logSeconds.push_back(viaDll);
        readSeconds.push_back(direct);
        // A reference time of 0 would make the round's ratio meaningless: the
        // round is left out, and the row says so.
        if (direct > 0) {
            ratios.push_back(viaDll / direct);
        } else {
            ++timing.leftOut;
        }
    }
    if (ratios.empty()) Fail("every round's read took no measurable time");
    timing.logSeconds = Median(logSeconds);
    timing.readSeconds = Median(readSeconds);
    timing.ratio = Median(ratios);
    return timing;
}

// HKCU\Software\Tamberlo\Encoding set for the life of the object, as a
// script client sets it; the value is deleted again on every way out.
class EncodingSetting {
public:
    explicit EncodingSetting(const wchar_t* name) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tamberlo", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            Fail("cannot open HKCU\\Software\\Tamberlo");
        }
        const DWORD bytes = static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key_, L"Encoding", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), bytes) != ERROR_SUCCESS) {
            RegCloseKey(key_);
            Fail("cannot set the encoding");
        }
    }
    EncodingSetting(const EncodingSetting&) = delete;
    EncodingSetting& operator=(const EncodingSetting&) = delete;
    ~EncodingSetting() {
        RegDeleteValueW(key_, L"Encoding");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
};

// Runs the linking SAS through `runner` with `logFile` as its log.
void ExecuteWithLog(_CodeRunner* runner, const std::string& logFile) {
    const UniqueBstr program = Bstr("data _null_; put 'a long log'; run;");
    HRESULT status = runner->put_SASCode(program.get());
    if (FAILED(status)) Fail("SASCode failed", status);
    SetEnvironmentVariableA("BENCHSAS_LOG_FROM", logFile.c_str());
    const UniqueBstr root = Bstr(WindowsPath(TAMBERLO_BENCH_LINKING_SAS_ROOT) + "\\");
    const UniqueBstr config;
    UniqueBstr result;
    status = runner->Execute(root.get(), config.get(), result.put());
    SetEnvironmentVariableA("BENCHSAS_LOG_FROM", nullptr);
    if (FAILED(status)) Fail("Execute failed", status);
}

// A new CodeRunner that has run the linking SAS with `logFile` as its log.
ComPtr<_CodeRunner> RunnerWithLog(IClassFactory* factory, const std::string& logFile) {
    ComPtr<_CodeRunner> runner;
    const HRESULT status = factory->CreateInstance(nullptr, IID__CodeRunner, reinterpret_cast<void**>(runner.put()));
    if (FAILED(status)) Fail("no CodeRunner", status);
    ExecuteWithLog(runner.get(), logFile);
    return runner;
}

void WriteLog(const std::string& path, const std::string& log) {
    std::ofstream out(path, std::ios::binary);
    out.write(log.data(), static_cast<std::streamsize>(log.size()));
    if (!out) Fail("cannot write the log file");
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) Fail("CoInitializeEx failed");

    // The log file, in the temporary folder where the component's run files
    // go too, so that the linking SAS can link it into place.
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string logFile = std::string(temp) + "tamberlo-bench-" + std::to_string(GetCurrentProcessId()) + ".log";
    { WriteLog(logFile, tamberlo::bench::MakeLog(LogSize)); }

    const HMODULE module = LoadLibraryA(WindowsPath(TAMBERLO_DLL).c_str());
    if (!module) Fail("Tamberlo.dll does not load", HRESULT_FROM_WIN32(GetLastError()));
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject) Fail("Tamberlo.dll has no DllGetClassObject");
    ComPtr<IClassFactory> factory;
    HRESULT status = getClassObject(CLSID_CodeRunner, IID_IClassFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(status)) Fail("no class factory", status);
    ComPtr<_CodeRunner> runner;
    status = factory->CreateInstance(nullptr, IID__CodeRunner, reinterpret_cast<void**>(runner.put()));
    if (FAILED(status)) Fail("no CodeRunner", status);

    const std::size_t startSet = WorkingSet(false);
    ExecuteWithLog(runner.get(), logFile);

    // The peak of one Log, above the working set that the run left (the
    // stored log): the peak of the run itself stays below it, as the run
    // holds the log once.
    const std::size_t beforeLog = WorkingSet(false);
    {
        UniqueBstr log;
        if (FAILED(status = runner->get_Log(log.put()))) Fail("Log failed", status);
    }
    const std::size_t peakSet = WorkingSet(true);

    const Timing ansi = TimeLogAgainstRead(runner.get(), logFile, LogSize);
    if (ansi.logLength < LogSize) Fail("the Log is shorter than the log file");
    const double ratio = ansi.ratio;
    const double peak = peakSet > beforeLog ? static_cast<double>(peakSet - beforeLog) : 0;
    const double stored = beforeLog > startSet ? static_cast<double>(beforeLog - startSet) : 0;
    const bool met = ratio <= 2.0 && peak <= 2.5 * LogSize;
    std::string measured = Printed("%.2fx", ratio) + " (" + Printed("%.0f ms", ansi.logSeconds * 1e3) + " vs " +
                           Printed("%.0f ms", ansi.readSeconds * 1e3) + ", wall)";
    if (ansi.leftOut > 0) measured += Printed("; %.0f rounds left out: read time 0", ansi.leftOut);
    const std::string peakText =
        Printed("+%.1f MiB", peak / (1024.0 * 1024.0)) + " = " + Printed("%.2fx", peak / LogSize) +
        " the file for one Log (the run's stored log: " + Printed("+%.1f MiB", stored / (1024.0 * 1024.0)) + ")";
    std::printf("dll_log_timing: Log as BSTR %.1f ms, one read %.1f ms, ratio %.2f, peak %s\n", ansi.logSeconds * 1e3,
                ansi.readSeconds * 1e3, ratio, peakText.c_str());
    if (argc > 1) {
        if (std::FILE* rows = std::fopen(WindowsPath(argv[1]).c_str(), "ab")) {
            std::fprintf(rows,
                         "50\tLog through Tamberlo.dll as a BSTR under Wine, 100 MiB log\t"
                         "the same read under Wine\t%s\t<= 2x time, peak of one Log <= 2.5x the file\t%s\t%s\n",
                         measured.c_str(), met ? "met" : "MISSED", peakText.c_str());
            std::fclose(rows);
        }
    }

    // A UTF-8 session's log (a two-byte character in every line), the
    // encoding set as script clients set it: the Log decodes it on the way.
    runner = ComPtr<_CodeRunner>();
    const std::string utf8File = logFile + ".utf8";
    {
        std::string log = tamberlo::bench::MakeLog(LogSize);
        for (std::size_t at = log.find('\n'); at != std::string::npos && at + 3 < log.size();
             at = log.find('\n', at + 1)) {
            log[at + 1] = '\xC3';
            log[at + 2] = '\xBC';
        }
        WriteLog(utf8File, log);
    }
    {
        const EncodingSetting utf8(L"UTF-8");
        const ComPtr<_CodeRunner> utf8Runner = RunnerWithLog(factory.get(), utf8File);
        const Timing timing = TimeLogAgainstRead(utf8Runner.get(), utf8File, LogSize);
        if (timing.logLength < LogSize / 2) Fail("the UTF-8 Log is shorter than its characters");
        std::string utf8Measured = Printed("%.2fx", timing.ratio) + " (" + Printed("%.0f ms", timing.logSeconds * 1e3) +
                                   " vs " + Printed("%.0f ms", timing.readSeconds * 1e3) + ", wall)";
        if (timing.leftOut > 0) utf8Measured += Printed("; %.0f rounds left out: read time 0", timing.leftOut);
        std::printf("dll_log_timing: UTF-8 Log as BSTR %.1f ms, one read %.1f ms, ratio %.2f\n",
                    timing.logSeconds * 1e3, timing.readSeconds * 1e3, timing.ratio);
        if (argc > 1) {
            if (std::FILE* rows = std::fopen(WindowsPath(argv[1]).c_str(), "ab")) {
                std::fprintf(rows,
                             "51\tUTF-8 log through Tamberlo.dll as a BSTR under Wine (Encoding in HKCU), 100 MiB log\t"
                             "the same read under Wine\t%s\t<= 2x time\t%s\t\n",
                             utf8Measured.c_str(), timing.ratio <= 2.0 ? "met" : "MISSED");
                std::fclose(rows);
            }
        }
    }
    DeleteFileA(utf8File.c_str());

    factory = ComPtr<IClassFactory>();
    DeleteFileA(logFile.c_str());
    CoUninitialize();
    return 0;
}
