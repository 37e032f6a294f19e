// Entry of twrepair.exe, the native program the Session Manager runs at boot.
// The loader gives the process its heap; the passes create their own.
#include "engine.h"

extern "C" void __stdcall NtProcessStartup(void* argument) {
  (void)argument;  // "twrepair r": the argument selects nothing
  RunBootPasses();
  // Status 0 always, so that the Session Manager goes on with the boot.
  LayerTerminateProcess(0);
}
