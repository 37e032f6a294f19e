// Entry of twrepair.exe, the native program the Session Manager runs at boot.
#include "engine.h"

namespace {
TwHeap Heap;  // the process-wide heap
}

extern "C" void __stdcall NtProcessStartup(void* argument) {
  (void)argument;  // "twrepair r": the argument selects nothing
  Heap = LayerCreateHeap();
  RunBootPasses();
  // Status 0 always, so that the Session Manager goes on with the boot.
  LayerTerminateProcess(0);
}
