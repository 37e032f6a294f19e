// The panel's message boxes, its program folder and its child programs.
#include "PanelUtil.h"

#include "ProfileFolder.h"

#include <vector>

namespace {

const char kNoticeCaption[] = "提示";
const char kErrorCaption[] = "错误提示";
const DWORD kModulePathSize = 380;

}  // namespace

void ShowNotice(HWND owner, const char* text) {
    ::MessageBoxA(owner, text, kNoticeCaption, MB_OK | MB_ICONINFORMATION);
}

bool AskOkCancel(HWND owner, const char* text) {
    return ::MessageBoxA(owner, text, kNoticeCaption, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

void ShowError(HWND owner, const char* text) {
    ::MessageBoxA(owner, text, kErrorCaption, MB_OK | MB_ICONINFORMATION);
}

std::string ProgramFolder() {
    char path[kModulePathSize] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    return ProgramFolderOf(path);
}

tw::UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments, int show) {
    std::string quoted = "\"" + path + "\"";
    if (!arguments.empty())
        quoted += " " + arguments;
    std::vector<char> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back('\0');  // CreateProcessA may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (show != SW_SHOWDEFAULT) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show);
    }
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return tw::UniqueKernelHandle();
    tw::UniqueKernelHandle thread(process.hThread);  // only the process is ever waited for
    return tw::UniqueKernelHandle(process.hProcess);
}

tw::UniqueKernelHandle RunProgramBeside(const char* name, const std::string& arguments, int show) {
    std::string folder = ProgramFolder();
    if (folder.empty())
        return tw::UniqueKernelHandle();
    return StartProgram(folder + name, arguments, show);
}

bool WaitForChild(const tw::UniqueKernelHandle& process) {
    return process && ::WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0;
}
