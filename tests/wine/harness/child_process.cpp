// Starting, waiting for and ending the programs of a Wine driver.
#include "child_process.h"

#include "wine_test.h"

ChildProcess::~ChildProcess() {
    if (Running()) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), 5000);  // its image may be deleted next
    }
}

bool ChildProcess::Start(const std::string& image, const std::string& tail) {
    std::string command = "\"" + image + "\"" + (tail.empty() ? "" : " " + tail);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(image.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process) != FALSE;
    if (started)
        CHECK(true, "start %s", command.c_str());
    else
        CHECK(false, "start %s (error %lu)", command.c_str(), GetLastError());
    if (started) {
        tw::UniqueKernelHandle thread(process.hThread);
        m_process.Reset(process.hProcess);
        m_id = process.dwProcessId;
    }
    return started;
}

bool ChildProcess::Running() const {
    return m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD ms) const {
    return WaitUntil([this] { return !Running(); }, ms);
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.Get(), &code);
    return code;
}
