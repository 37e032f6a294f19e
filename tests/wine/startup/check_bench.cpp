// Times the snapshot dialog's "检查" over the snapshots the prefix holds: from the click until its
// summary "检查完毕", with a fresh panel each run (a panel checks a file again only once it has
// changed). Prints one time in milliseconds a line. Usage: check_bench <tarwenApp.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resource.h"

namespace {

const DWORD kWaitMs = 600000;

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The visible top-level window titled title, once there is one.
HWND WaitForWindow(const char* title) {
    for (double start = NowMs(); NowMs() - start < kWaitMs; Sleep(5)) {
        HWND window = FindWindowA(nullptr, title);
        if (window && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

bool CheckEnded(HWND dialog) {
    char text[128] = {};
    GetDlgItemTextA(dialog, IDC_CHECK_STATUS, text, sizeof text);
    return std::strncmp(text, "检查完毕", std::strlen("检查完毕")) == 0;
}

// Milliseconds of one check; negative when the panel or its dialog did not come or the check
// did not end.
double TimeCheck(const std::string& program) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    double elapsed = -1;
    HWND panel = WaitForWindow("Tarwen系统修复");
    if (panel) {
        Sleep(1000);  // the start-up timers have run
        PostMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_SNAPSHOTS, BN_CLICKED), 0);
        HWND dialog = WaitForWindow("快照还原");
        if (dialog) {
            double start = NowMs();
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED), 0);
            while (NowMs() - start < kWaitMs && !CheckEnded(dialog))
                Sleep(5);
            if (CheckEnded(dialog))
                elapsed = NowMs() - start;
        }
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: check_bench <tarwenApp.exe> [runs]\n");
        return 2;
    }
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    for (int i = 0; i < runs; ++i) {
        double ms = TimeCheck(argv[1]);
        if (ms < 0) {
            std::printf("check_bench: the check did not run to its end (run %d)\n", i + 1);
            return 1;
        }
        std::printf("%.1f\n", ms);
        std::fflush(stdout);
    }
    return 0;
}
