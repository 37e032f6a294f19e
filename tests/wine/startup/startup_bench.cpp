// Times how long a program takes from CreateProcess until its window titled "Tarwen系统修复"
// is visible and painted, children included; runs the control panel and the minimal dialog alternately and prints the medians
// and their ratio. Usage: startup_bench <tarwenApp.exe> <minimal_dialog.exe> [runs]
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

BOOL CALLBACK NoteUnpainted(HWND child, LPARAM unpainted) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE))
        *reinterpret_cast<bool*>(unpainted) = true;
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
    STARTUPINFOA startup = {sizeof startup};
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    std::vector<double> panel, minimal;
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
    }
    double p = Median(panel), m = Median(minimal);
    std::printf("start until the window is visible and painted, median of %d alternating runs\n", runs);
    std::printf("control panel:   %7.1f ms\n", p);
    std::printf("minimal dialog:  %7.1f ms\n", m);
    std::printf("ratio:           %7.2f\n", p / m);
    return 0;
}
