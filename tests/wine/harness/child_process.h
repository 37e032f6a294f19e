// A program that a Wine driver starts: the product, a stand-in, a copy of the driver.
#pragma once

#include <windows.h>

#include <string>

#include "Handles.h"

// Ends the program (TerminateProcess) when it goes, should the program still run.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts image (a full path) with the tail after its quoted name; a check says whether it started.
    bool Start(const std::string& image, const std::string& tail = std::string());
    bool Running() const;
    // Waits, the message queue pumped, for the program to end; whether it has.
    bool WaitExit(DWORD ms) const;
    DWORD ExitCode() const;
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

private:
    tw::UniqueKernelHandle m_process;
    DWORD m_id = 0;
};
