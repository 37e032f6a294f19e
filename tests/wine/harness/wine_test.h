// The harness of the Wine drivers, after Wine's own test.h: CHECK records its file and line,
// a Context names the case in every check made while it lives, WaitUntil polls with the
// message queue pumped, and each driver lists its SCENARIOs (and the STAND_INs a copy of it
// plays under another file name) for the one main of the harness.
//
// A driver runs as `driver <scenario> [operand...]` and prints one "ok: ..." or
// "FAIL: file:line: ..." line per check, then the count of failures; its exit status is 1
// when a check failed.
#pragma once

#include <windows.h>

#include <string>

// Names the case: the checks made while it lives print its text before their own.
class Context {
public:
    explicit Context(const char* format, ...) __attribute__((format(printf, 2, 3)));
    explicit Context(const std::string& text) : Context("%s", text.c_str()) {}
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// Lets X events reach the windows of this desktop while waiting.
void Pump(DWORD ms);

// Asks done() every few milliseconds, pumping messages in between, until it says yes or ms
// have passed; its last answer.
template <typename Done>
bool WaitUntil(Done done, DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (!done()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0)
            return done();
        Pump(25);
    }
    return true;
}

// The command-line operand after the scenario's name (0 the first), a Linux path turned into
// the Windows one; empty when there is none.
const std::string& Operand(size_t index);
// This program's own path.
const std::string& Self();

// "/x/y" as Wine names it, "Z:\x\y"; Windows paths stay as they are.
std::string WindowsPath(const std::string& path);

// What the macros below expand to.
namespace wine_test {

void Record(const char* file, int line, bool ok, const char* format, ...) __attribute__((format(printf, 4, 5)));

struct ScenarioEntry {
    ScenarioEntry(const char* name, void (*run)());
};
struct StandInEntry {
    StandInEntry(const char* fileName, void (*run)());
};

}  // namespace wine_test

#define CHECK(ok, ...) ::wine_test::Record(__FILE__, __LINE__, (ok), __VA_ARGS__)

#define WINE_TEST_JOIN2(a, b) a##b
#define WINE_TEST_JOIN(a, b) WINE_TEST_JOIN2(a, b)

// SCENARIO(name) { ... }: what `driver name` runs.
#define SCENARIO(name)                                                                     \
    static void Scenario_##name();                                                         \
    static const ::wine_test::ScenarioEntry scenario_entry_##name(#name, &Scenario_##name); \
    static void Scenario_##name()

// STAND_IN("file.exe") { ... }: what a copy of the driver named file.exe (in any letter case)
// does instead of a scenario; it ends with exit status 0.
#define STAND_IN(fileName)                                                              \
    static void WINE_TEST_JOIN(StandIn, __LINE__)();                                    \
    static const ::wine_test::StandInEntry WINE_TEST_JOIN(stand_in_entry_, __LINE__)(   \
        fileName, &WINE_TEST_JOIN(StandIn, __LINE__));                                  \
    static void WINE_TEST_JOIN(StandIn, __LINE__)()
