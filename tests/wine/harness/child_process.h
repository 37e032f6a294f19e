// A program that a Wine driver starts: the product, a stand-in, a copy of the driver.
#pragma once

#include <windows.h>

#include <string>

#include "Handles.h"
#include "wine_test.h"

// Terminates the program when it goes, should it still run, and waits for it: its image may be
// deleted next.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() {
        if (Running() && TerminateProcess(m_process.Get(), 1))
            WaitForSingleObject(m_process.Get(), 5000);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts image (a full path) with the tail after its quoted name; a check says whether it did.
    bool Start(const std::string& image, const std::string& tail = std::string()) {
        std::string command = "\"" + image + "\"" + (tail.empty() ? "" : " " + tail);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(image.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            CHECK(false, "start %s (error %lu)", command.c_str(), GetLastError());
            return false;
        }
        CHECK(true, "start %s", command.c_str());
        CloseHandle(process.hThread);
        m_process.Reset(process.hProcess);
        m_id = process.dwProcessId;
        return true;
    }
    bool Running() const { return m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT; }
    // Whether it has ended within ms, the message queue pumped meanwhile.
    bool WaitExit(DWORD ms) const {
        return WaitUntil([this] { return !Running(); }, ms);
    }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process.Get(), &code);
        return code;
    }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

private:
    tw::UniqueKernelHandle m_process;
    DWORD m_id = 0;
};
