// The checks, contexts and the one main of the Wine drivers.
#include "wine_test.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int g_failures = 0;
std::vector<std::string> g_contexts;
std::vector<std::string> g_operands;
std::string g_self;

std::vector<const wine_test::Entry*>& Entries() {
    static std::vector<const wine_test::Entry*> entries;  // filled before main, by static objects
    return entries;
}

std::string Format(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

// The drivers' texts are code page 936, as the system's strings; the log is UTF-8.
std::string Utf8(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1);
    std::vector<char> utf8(wide.size() * 3);
    if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size())) <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                            nullptr) <= 0)
        return text;
    return utf8.data();
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

}  // namespace

bool wine_test::Record(const char* file, int line, bool ok, const char* format, ...) {
    std::string text;
    for (const std::string& context : g_contexts)
        text += context + ": ";
    va_list args;
    va_start(args, format);
    text += Format(format, args);
    va_end(args);
    if (ok)
        std::printf("ok: %s\n", Utf8(text).c_str());
    else
        std::printf("FAIL: %s:%d: %s\n", FileName(file).c_str(), line, Utf8(text).c_str());
    std::fflush(stdout);
    g_failures += ok ? 0 : 1;
    return ok;
}

wine_test::Entry::Entry(const char* name, void (*run)(), bool standIn) : name(name), run(run), standIn(standIn) {
    Entries().push_back(this);
}

Context::Context(const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_contexts.push_back(Format(format, args));
    va_end(args);
}

Context::~Context() { g_contexts.pop_back(); }

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    for (LONG left = ms; left > 0; left = static_cast<LONG>(end - GetTickCount())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

const std::string& Operand(size_t index) {
    static const std::string none;
    return index < g_operands.size() ? g_operands[index] : none;
}

const std::string& Self() { return g_self; }

std::string WindowsPath(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return !out.empty() && out[0] == '\\' ? "Z:" + out : out;
}

// A copy of the driver under a stand-in's file name plays that part; the driver itself runs
// the scenario its first argument names.
int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_self = self;
    for (int i = 2; i < argc; ++i)
        g_operands.push_back(WindowsPath(argv[i]));
    for (const wine_test::Entry* entry : Entries())
        if (entry->standIn && lstrcmpiA(FileName(self).c_str(), entry->name) == 0) {
            entry->run();
            return 0;
        }
    for (const wine_test::Entry* entry : Entries())
        if (!entry->standIn && argc > 1 && std::strcmp(argv[1], entry->name) == 0) {
            try {
                entry->run();
            } catch (const wine_test::Stop&) {
                std::printf("the scenario stops here\n");
            }
            std::printf("%d failure(s)\n", g_failures);
            return g_failures == 0 ? 0 : 1;
        }
    std::printf("usage: %s <scenario> [operand...], the scenarios:", FileName(self).c_str());
    for (const wine_test::Entry* entry : Entries())
        if (!entry->standIn)
            std::printf(" %s", entry->name);
    std::printf("\n");
    return 2;
}
