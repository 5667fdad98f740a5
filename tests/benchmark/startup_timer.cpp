// Start-up timer of the benchmark, run inside Wine beside the two programs it compares:
//
//   startup_timer.exe RUNS PROGRAM.exe PROGRAM_CLASS MINIMAL.exe MINIMAL_CLASS [BASELINE.exe BASELINE_CLASS]
//
// Each run starts a program with CreateProcessW and polls every millisecond for a visible top-level window
// of that process with the expected class; the time from just before CreateProcessW to the first poll that
// sees it is the start-up time. The timer then reads the program's peak working set and the text of the
// window's first edit box (for the real program, Text1: the port the start-up sequence read), closes the
// window with WM_CLOSE and waits for the process to end. After one untimed warm-up of each, the programs
// take turns RUNS times each. A baseline (an earlier build of the program) is timed in the same turns, and
// the program compared with it too. Prints one line per run and a summary; exit status 1 when a run failed.
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr DWORD kPauseBetweenRunsMs = 200;
constexpr double kTargetRatio = 1.10;

struct Subject {
    const char* label;
    std::wstring path;
    std::wstring windowClass;
    std::vector<double> milliseconds;
    std::vector<SIZE_T> peakWorkingSets;
};

struct RunResult {
    bool ok = false;
    std::string failure;
    double milliseconds = 0;
    SIZE_T peakWorkingSet = 0;
    std::wstring firstEditText;
};

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

double Mebibytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

struct WindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    wchar_t name[256];
    if (!GetClassNameW(window, name, 256) || lstrcmpW(name, search->windowClass) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// The text of the window's first edit box in stacking order, asked across processes with WM_GETTEXT.
std::wstring FirstEditText(HWND window) {
    HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
    if (!edit) return std::wstring();
    wchar_t text[64] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied)) {
        return std::wstring();
    }
    return std::wstring(text, std::min<std::size_t>(copied, 63));
}

RunResult TimeOneStart(const Subject& subject, double ticksPerMs) {
    RunResult result;
    const std::wstring folder = subject.path.substr(0, subject.path.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + subject.path + L"\"";  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};

    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(subject.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        result.failure = "cannot start it: error " + std::to_string(GetLastError());
        return result;
    }
    CloseHandle(process.hThread);

    WindowSearch search = {process.dwProcessId, subject.windowClass.c_str(), nullptr};
    for (;;) {
        EnumWindows(&MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        if (search.found) break;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result.failure = "it ended (exit code " + std::to_string(code) + ") before showing its window";
            break;
        }
        if ((now.QuadPart - start.QuadPart) / ticksPerMs > kWindowTimeoutMs) {
            result.failure = "no visible window of its class within " + std::to_string(kWindowTimeoutMs) + " ms";
            break;
        }
        Sleep(1);
    }

    if (search.found) {
        result.ok = true;
        result.milliseconds = static_cast<double>(now.QuadPart - start.QuadPart) / ticksPerMs;
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
            result.peakWorkingSet = counters.PeakWorkingSetSize;
        }
        result.firstEditText = FirstEditText(search.found);
        PostMessageW(search.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
            result.ok = false;
            result.failure = "it did not end within " + std::to_string(kExitTimeoutMs) + " ms of WM_CLOSE";
        }
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool RunAndReport(Subject& subject, const char* runName, double ticksPerMs, bool keep) {
    const RunResult result = TimeOneStart(subject, ticksPerMs);
    if (!result.ok) {
        std::printf("%-8s %-8s FAILED: %s\n", runName, subject.label, result.failure.c_str());
        std::fflush(stdout);
        return false;
    }
    std::printf("%-8s %-8s %8.1f ms   peak working set %6.1f MiB   first edit box \"%s\"\n", runName, subject.label,
                result.milliseconds, Mebibytes(result.peakWorkingSet), Utf8(result.firstEditText).c_str());
    std::fflush(stdout);
    if (keep) {
        subject.milliseconds.push_back(result.milliseconds);
        subject.peakWorkingSets.push_back(result.peakWorkingSet);
    }
    return true;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void PrintSummary(const Subject& subject) {
    const auto [fastest, slowest] = std::minmax_element(subject.milliseconds.begin(), subject.milliseconds.end());
    const SIZE_T peak = *std::max_element(subject.peakWorkingSets.begin(), subject.peakWorkingSets.end());
    const long long size = FileSize(subject.path);
    std::printf(
        "%-8s median %8.1f ms  (fastest %.1f, slowest %.1f)   .exe %lld bytes (%.0f KiB)   "
        "peak working set %.1f MiB\n",
        subject.label, Median(subject.milliseconds), *fastest, *slowest, size, static_cast<double>(size) / 1024.0,
        Mebibytes(peak));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6 && argc != 8) {
        std::fprintf(stderr,
                     "usage: startup_timer.exe RUNS PROGRAM.exe PROGRAM_CLASS MINIMAL.exe MINIMAL_CLASS "
                     "[BASELINE.exe BASELINE_CLASS]\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    if (runs < 1) {
        std::fprintf(stderr, "startup_timer: RUNS must be a positive number\n");
        return 2;
    }
    Subject program = {"program", argv[2], argv[3], {}, {}};
    Subject minimal = {"minimal", argv[4], argv[5], {}, {}};
    Subject baseline = {"baseline", argc == 8 ? argv[6] : L"", argc == 8 ? argv[7] : L"", {}, {}};
    std::vector<Subject*> subjects = {&program, &minimal};
    if (argc == 8) subjects.push_back(&baseline);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;

    bool ok = true;
    for (Subject* subject : subjects) ok = RunAndReport(*subject, "warm-up", ticksPerMs, false) && ok;
    for (int run = 1; run <= runs && ok; ++run) {
        const std::string name = "run " + std::to_string(run);
        for (Subject* subject : subjects) {
            Sleep(kPauseBetweenRunsMs);
            ok = RunAndReport(*subject, name.c_str(), ticksPerMs, true) && ok;
        }
    }
    if (!ok) {
        std::printf("startup_timer: a run failed; no summary\n");
        return 1;
    }

    const double ratio = Median(program.milliseconds) / Median(minimal.milliseconds);
    std::printf("\nsummary of %d runs each (time from process start to the main window being visible)\n", runs);
    for (const Subject* subject : subjects) PrintSummary(*subject);
    std::printf("ratio    %.2f  (program median / minimal median; target at most %.2f: %s)\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "NOT met");
    if (argc == 8) {
        std::printf("against the baseline  %.2f  (program median / baseline median)\n",
                    Median(program.milliseconds) / Median(baseline.milliseconds));
    }
    return 0;
}
