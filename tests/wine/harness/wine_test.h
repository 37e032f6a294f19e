// The harness of the Wine drivers, after Wine's own test.h: CHECK records its file and line
// (REQUIRE also ends the scenario when it fails: what follows could only fail after it), a
// Context names the case for the checks made while it lives, WaitUntil polls with the message
// queue pumped, and each driver lists its SCENARIOs (and the STAND_INs that a copy of it plays
// under another file name) for the one main of the harness.
//
// `driver <scenario> [operand...]` prints "ok: ..." or "FAIL: file:line: ..." per check, then
// the count of failures; the exit status is 1 when a check failed.
#pragma once

#include <windows.h>

#include <string>

class Context {
public:
    explicit Context(const char* format, ...) __attribute__((format(printf, 2, 3)));
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// Lets X events reach the windows of this desktop while waiting.
void Pump(DWORD ms);

// Asks done() every 25 ms, pumping messages in between, until it says yes or ms have passed;
// its last answer.
template <typename Done>
bool WaitUntil(Done done, DWORD ms) {
    for (const DWORD end = GetTickCount() + ms; !done(); Pump(25))
        if (static_cast<LONG>(end - GetTickCount()) <= 0)
            return done();
    return true;
}

// The operand after the scenario's name (0: the first), Linux paths turned into Wine's
// "Z:\..."; empty when there is none.
const std::string& Operand(size_t index);
// This program's own path.
const std::string& Self();
std::string WindowsPath(const std::string& path);

namespace wine_test {  // what the macros expand to
bool Record(const char* file, int line, bool ok, const char* format, ...) __attribute__((format(printf, 4, 5)));
struct Stop {};  // thrown by REQUIRE, caught by main
struct Entry {
    Entry(const char* name, void (*run)(), bool standIn);
    const char* name;
    void (*run)();
    bool standIn;
};
}  // namespace wine_test

#define CHECK(ok, ...) ::wine_test::Record(__FILE__, __LINE__, (ok), __VA_ARGS__)
#define REQUIRE(ok, ...) \
    (::wine_test::Record(__FILE__, __LINE__, (ok), __VA_ARGS__) ? void() : throw ::wine_test::Stop())

// SCENARIO(name) { ... }: what `driver name` runs.
#define SCENARIO(name)                                                                 \
    static void Scenario_##name();                                                     \
    static const ::wine_test::Entry scenario_##name(#name, &Scenario_##name, false);    \
    static void Scenario_##name()

// STAND_IN("file.exe") { ... }: what a copy of the driver named file.exe (any letter case)
// does instead; it ends with exit status 0.
#define STAND_IN(fileName) STAND_IN_NAMED(fileName, WINE_TEST_JOIN(StandIn, __LINE__))
#define STAND_IN_NAMED(fileName, function)                                                   \
    static void function();                                                                  \
    static const ::wine_test::Entry WINE_TEST_JOIN(function, Entry)(fileName, &function, true); \
    static void function()
#define WINE_TEST_JOIN(a, b) WINE_TEST_JOIN_TOKENS(a, b)
#define WINE_TEST_JOIN_TOKENS(a, b) a##b
