// The checks, contexts and the one main of the Wine drivers.
#include "wine_test.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace wine_test {
namespace {

int g_failures = 0;
std::vector<std::string> g_contexts;
std::vector<std::string> g_operands;
std::string g_self;

template <typename Entry>
std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}

struct Scenario {
    const char* name;
    void (*run)();
};
struct StandIn {
    const char* fileName;
    void (*run)();
};

std::string Format(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

// Texts are code page 936 (the drivers' literals and the system's strings); the log is UTF-8.
std::string Utf8(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    std::vector<char> utf8(wide.size() * 3);
    if (n <= 0 || WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, nullptr) <= 0)
        return text;
    return utf8.data();
}

const char* BaseName(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\')
            name = c + 1;
    return name;
}

int Usage(const char* driver) {
    std::string names;
    for (const Scenario& scenario : Entries<Scenario>())
        names += (names.empty() ? "" : "|") + std::string(scenario.name);
    std::printf("usage: %s %s [operand...]\n", BaseName(driver), names.c_str());
    return 2;
}

}  // namespace

void Record(const char* file, int line, bool ok, const char* format, ...) {
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
        std::printf("FAIL: %s:%d: %s\n", BaseName(file), line, Utf8(text).c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

ScenarioEntry::ScenarioEntry(const char* name, void (*run)()) { Entries<Scenario>().push_back({name, run}); }

StandInEntry::StandInEntry(const char* fileName, void (*run)()) { Entries<StandIn>().push_back({fileName, run}); }

}  // namespace wine_test

using namespace wine_test;

Context::Context(const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_contexts.push_back(Format(format, args));
    va_end(args);
}

Context::~Context() { g_contexts.pop_back(); }

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0)
            break;
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
    if (!out.empty() && out[0] == '\\')
        out = "Z:" + out;
    return out;
}

// A copy of the driver under a stand-in's file name plays that part; the driver itself runs
// the scenario its first argument names.
int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_self = self;
    for (const StandIn& standIn : Entries<StandIn>())
        if (lstrcmpiA(BaseName(self), standIn.fileName) == 0) {
            standIn.run();
            return 0;
        }
    if (argc < 2)
        return Usage(argv[0]);
    for (int i = 2; i < argc; ++i)
        g_operands.push_back(WindowsPath(argv[i]));
    for (const Scenario& scenario : Entries<Scenario>())
        if (std::strcmp(argv[1], scenario.name) == 0) {
            scenario.run();
            std::printf("%d failure(s)\n", g_failures);
            return g_failures == 0 ? 0 : 1;
        }
    Usage(argv[0]);
    return 2;
}
