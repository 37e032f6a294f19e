// Times how long a program takes from CreateProcess until its window titled "Tarwen系统修复"
// is visible and painted, children included. Runs the control panel and the minimal dialog
// alternately and prints the medians with their quartiles, and the median of the ratios of
// runs side by side. Usage: startup_bench <tarwenApp.exe> <minimal_dialog.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kTitle[] = "Tarwen系统修复";
const DWORD kWindowTimeoutMs = 10000;

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Stops at the first child that waits for a paint: each question is a round trip to the
// Wine server, which the program being timed needs as well.
BOOL CALLBACK NoteUnpainted(HWND child, LPARAM unpainted) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(unpainted) = true;
        return FALSE;
    }
    return TRUE;
}

// Visible, and neither the window nor a child waits for a paint.
bool HasAppeared(HWND window) {
    if (!window || !IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool unpainted = false;
    EnumChildWindows(window, &NoteUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return !unpainted;
}

// Milliseconds until the window has appeared; negative when it never does.
double TimeToWindow(const std::string& program) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = NowMs();
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    double elapsed = -1;
    while (NowMs() - start < kWindowTimeoutMs) {
        if (HasAppeared(FindWindowA(nullptr, kTitle))) {
            elapsed = NowMs() - start;
            break;
        }
        Sleep(1);
    }
    // A quit lets the program take its notification-area icon away; a killed panel would
    // leave a dead icon that the shell then tends to during the next program's start.
    PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(process.hProcess, 3000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

// The value below which the given share of the values lie (nearest rank).
double Quantile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: startup_bench <tarwenApp.exe> <minimal_dialog.exe> [runs]\n");
        return 2;
    }
    int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 11;
    TimeToWindow(argv[1]);  // the first start of each warms the disk cache and the prefix
    TimeToWindow(argv[2]);
    std::vector<double> panel, minimal, ratios;
    for (int i = 0; i < runs; ++i) {
        double a = TimeToWindow(argv[1]);
        Sleep(200);
        double b = TimeToWindow(argv[2]);
        Sleep(200);
        if (a < 0 || b < 0) {
            std::printf("startup_bench: a window did not appear (run %d)\n", i + 1);
            return 1;
        }
        panel.push_back(a);
        minimal.push_back(b);
        ratios.push_back(a / b);  // neighbours in time share the machine's load
    }
    std::printf("start until the window is visible and painted, %d alternating runs\n", runs);
    std::printf("                 median  (quartiles)\n");
    std::printf("control panel:  %7.1f  (%.1f-%.1f) ms\n", Quantile(panel, 0.5), Quantile(panel, 0.25),
                Quantile(panel, 0.75));
    std::printf("minimal dialog: %7.1f  (%.1f-%.1f) ms\n", Quantile(minimal, 0.5), Quantile(minimal, 0.25),
                Quantile(minimal, 0.75));
    std::printf("ratio of pairs: %7.2f  (%.2f-%.2f)\n", Quantile(ratios, 0.5), Quantile(ratios, 0.25),
                Quantile(ratios, 0.75));
    return 0;
}
