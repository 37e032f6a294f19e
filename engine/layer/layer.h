// The native operations the boot-time engine needs, and nothing else.
// The ntdll layer passes them straight to the named services of ntdll.dll; the
// host layer carries them out on a Windows installation lying in a Linux folder.
#pragma once

#include <stddef.h>
#include <stdint.h>

// UTF-16 text is 16-bit on every flavour (Linux's wchar_t is 32-bit).
#ifdef _WIN32
typedef wchar_t TwChar;
#define TW_TEXT(s) L##s
#else
typedef char16_t TwChar;
#define TW_TEXT(s) u##s
#endif

typedef void* TwHandle;
typedef void* TwHeap;

// Create dispositions of the open service.
enum : uint32_t {
  kDispositionOpenExisting = 1,  // the file must exist
  kDispositionCreateNew = 2,     // the file must not exist
};

// What an operation on a named file came to. "Not found" (no file or no
// folder of that name) is the one failure that says the file is absent;
// every other failure says nothing about it.
enum class FileStatus { kOk, kNotFound, kFailed };

// Whether a rename may replace a file that stands under the new name.
enum class RenameMode { kReplace, kNoReplace };

// Shows a NUL-terminated line on the boot console.
void LayerDisplayString(const TwChar* text);

// Opens or creates a file (never a folder) for synchronous reading and
// writing (the handle keeps a file position), shared for reading and writing,
// name looked up case-insensitively. kOk only on full success; *handle is set
// only then. Creating a file whose name is taken is kFailed.
FileStatus LayerCreateFile(const TwChar* name, uint32_t disposition, TwHandle* handle);

// Reads up to size bytes at *offset, or at the file position when offset is
// null, and moves the position past what was read. *done receives the byte
// count (0 at the end of the file, where the buffer is left as it was).
bool LayerReadFile(TwHandle handle, void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done);

// Writes size bytes at *offset, or at the file position when offset is null,
// extending the file when needed, and moves the position. *done receives the
// byte count actually written.
bool LayerWriteFile(TwHandle handle, const void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done);

// The end-of-file position.
bool LayerQueryFileSize(TwHandle handle, uint64_t* size);

// Makes what was written through the handle last across a power cut, and
// with it every create, rename and delete made before (the volume's log is
// written in order). The only way to that: closing a file flushes nothing.
bool LayerFlushFile(TwHandle handle);

void LayerCloseFile(TwHandle handle);

// Deletes a file by name; kOk when it was deleted.
FileStatus LayerDeleteFile(const TwChar* name);

// Gives the file from the name to in one step: at every instant to names
// either its old file (none, with kNoReplace) or the new one. It moves the
// name, not the data: what was not flushed before may still be lost. Both
// names lie in one folder. kNotFound when there is no file named from.
FileStatus LayerRenameFile(const TwChar* from, const TwChar* to, RenameMode mode);

// Reads a string value (REG_SZ) of the registry key at a native path
// ("\Registry\Machine\..."), NUL-terminated, into out. kNotFound when the
// key or the value does not exist; kFailed when it cannot be read, is no
// string, or does not fit in capacity units with its terminator.
FileStatus LayerQueryRegistryString(const TwChar* key, const TwChar* value, TwChar* out, size_t capacity);

// The current date of the kernel's clock, in UTC.
void LayerQueryDate(int* year, int* month, int* day);

// Private growable heaps (1 MiB reserve, 4 KiB commit, no lock of their own).
TwHeap LayerCreateHeap();
void* LayerAllocateHeap(TwHeap heap, size_t size);
void LayerFreeHeap(TwHeap heap, void* block);
void LayerDestroyHeap(TwHeap heap);

// Widens NUL-terminated 8-bit text in code page 936 into UTF-16, as "%S" does.
// False when the result and its terminator do not fit in capacity units.
bool LayerWidenText(const char* text, TwChar* out, size_t capacity);

// Ends the own process with the given status.
[[noreturn]] void LayerTerminateProcess(uint32_t status);
