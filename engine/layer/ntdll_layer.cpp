// The ntdll layer: each native operation of the engine passed straight to the
// service of ntdll.dll that carries it out. No C runtime, no exceptions, no
// static constructors: this runs before the Win32 subsystem exists.
#include "layer.h"

// mingw's headers declare only some of these services, and pull in Win32 with
// them; the declarations below follow the DDK.
namespace {

typedef long NTSTATUS;
typedef unsigned long ULONG;  // 32 bits on both Windows flavours (LLP64)
typedef void* HANDLE;

struct UNICODE_STRING {
  unsigned short Length;
  unsigned short MaximumLength;
  wchar_t* Buffer;
};

struct OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  UNICODE_STRING* ObjectName;
  ULONG Attributes;
  void* SecurityDescriptor;
  void* SecurityQualityOfService;
};

struct IO_STATUS_BLOCK {
  union {
    NTSTATUS Status;
    void* Pointer;
  };
  uintptr_t Information;
};

// FILE_STANDARD_INFORMATION
struct FileStandardInfo {
  long long AllocationSize;
  long long EndOfFile;
  ULONG NumberOfLinks;
  unsigned char DeletePending;
  unsigned char Directory;
};

// FILE_RENAME_INFORMATION with room for a whole native path.
constexpr size_t kRenameNameUnits = 512;
struct FileRenameInfo {
  unsigned char ReplaceIfExists;
  HANDLE RootDirectory;
  ULONG FileNameLength;
  wchar_t FileName[kRenameNameUnits];
};

// KEY_VALUE_PARTIAL_INFORMATION with room for a value of kRegistryDataBytes.
constexpr size_t kRegistryDataBytes = 1024;
struct KeyValuePartialInfo {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataLength;
  unsigned char Data[kRegistryDataBytes];
};

struct TIME_FIELDS {
  short Year, Month, Day, Hour, Minute, Second, Milliseconds, Weekday;
};

struct RTL_HEAP_PARAMETERS {
  ULONG Length;
  size_t SegmentReserve;
  size_t SegmentCommit;
  size_t DeCommitFreeBlockThreshold;
  size_t DeCommitTotalFreeThreshold;
  size_t MaximumAllocationSize;
  size_t VirtualMemoryThreshold;
  size_t InitialCommit;
  size_t InitialReserve;
  void* CommitRoutine;
  size_t Reserved[2];
};
static_assert(sizeof(void*) != 4 || sizeof(RTL_HEAP_PARAMETERS) == 48, "the heap parameter record of 32-bit Windows");

constexpr NTSTATUS kStatusSuccess = 0;
constexpr NTSTATUS kStatusEndOfFile = static_cast<NTSTATUS>(0xC0000011);
constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kStatusObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);

constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kFileReadData = 0x0001;
constexpr ULONG kFileWriteData = 0x0002;
constexpr ULONG kSynchronize = 0x00100000;
constexpr ULONG kFileShareRead = 0x1;
constexpr ULONG kFileShareWrite = 0x2;
constexpr ULONG kFileSynchronousIoNonalert = 0x20;
constexpr ULONG kFileAttributeNormal = 0x80;
constexpr ULONG kDelete = 0x00010000;
constexpr ULONG kFileOpen = 1;
constexpr ULONG kFileNonDirectoryFile = 0x40;
constexpr int kFileRenameInformation = 10;
constexpr int kFileStandardInformation = 5;
constexpr ULONG kKeyQueryValue = 0x1;
constexpr int kKeyValuePartialInformation = 2;
constexpr ULONG kRegSz = 1;
constexpr ULONG kHeapGrowable = 0x2;
constexpr size_t kHeapReserve = 1048576;
constexpr size_t kHeapCommit = 4096;

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

}  // namespace

#define TW_NTAPI __stdcall
extern "C" {
NTSTATUS TW_NTAPI NtDisplayString(UNICODE_STRING* String);
void TW_NTAPI RtlInitUnicodeString(UNICODE_STRING* Destination, const wchar_t* Source);
NTSTATUS TW_NTAPI ZwCreateFile(HANDLE* FileHandle, ULONG DesiredAccess, OBJECT_ATTRIBUTES* ObjectAttributes,
                               IO_STATUS_BLOCK* IoStatusBlock, long long* AllocationSize, ULONG FileAttributes,
                               ULONG ShareAccess, ULONG CreateDisposition, ULONG CreateOptions, void* EaBuffer,
                               ULONG EaLength);
NTSTATUS TW_NTAPI ZwReadFile(HANDLE FileHandle, HANDLE Event, void* ApcRoutine, void* ApcContext,
                             IO_STATUS_BLOCK* IoStatusBlock, void* Buffer, ULONG Length, long long* ByteOffset,
                             ULONG* Key);
NTSTATUS TW_NTAPI ZwWriteFile(HANDLE FileHandle, HANDLE Event, void* ApcRoutine, void* ApcContext,
                              IO_STATUS_BLOCK* IoStatusBlock, const void* Buffer, ULONG Length,
                              long long* ByteOffset, ULONG* Key);
NTSTATUS TW_NTAPI ZwQueryInformationFile(HANDLE FileHandle, IO_STATUS_BLOCK* IoStatusBlock, void* FileInformation,
                                         ULONG Length, int FileInformationClass);
NTSTATUS TW_NTAPI ZwSetInformationFile(HANDLE FileHandle, IO_STATUS_BLOCK* IoStatusBlock, void* FileInformation,
                                       ULONG Length, int FileInformationClass);
NTSTATUS TW_NTAPI ZwFlushBuffersFile(HANDLE FileHandle, IO_STATUS_BLOCK* IoStatusBlock);
NTSTATUS TW_NTAPI ZwClose(HANDLE Handle);
NTSTATUS TW_NTAPI ZwDeleteFile(OBJECT_ATTRIBUTES* ObjectAttributes);
NTSTATUS TW_NTAPI ZwQuerySystemTime(long long* SystemTime);
void TW_NTAPI RtlTimeToTimeFields(long long* Time, TIME_FIELDS* TimeFields);
void* TW_NTAPI RtlCreateHeap(ULONG Flags, void* HeapBase, size_t ReserveSize, size_t CommitSize, void* Lock,
                             RTL_HEAP_PARAMETERS* Parameters);
void* TW_NTAPI RtlAllocateHeap(void* HeapHandle, ULONG Flags, size_t Size);
unsigned char TW_NTAPI RtlFreeHeap(void* HeapHandle, ULONG Flags, void* HeapBase);
void* TW_NTAPI RtlDestroyHeap(void* HeapHandle);
NTSTATUS TW_NTAPI RtlMultiByteToUnicodeSize(ULONG* BytesInUnicodeString, const char* MultiByteString,
                                            ULONG BytesInMultiByteString);
NTSTATUS TW_NTAPI RtlMultiByteToUnicodeN(wchar_t* UnicodeString, ULONG MaxBytesInUnicodeString,
                                         ULONG* BytesInUnicodeString, const char* MultiByteString,
                                         ULONG BytesInMultiByteString);
NTSTATUS TW_NTAPI ZwOpenKey(HANDLE* KeyHandle, ULONG DesiredAccess, OBJECT_ATTRIBUTES* ObjectAttributes);
NTSTATUS TW_NTAPI ZwQueryValueKey(HANDLE KeyHandle, UNICODE_STRING* ValueName, int KeyValueInformationClass,
                                  void* KeyValueInformation, ULONG Length, ULONG* ResultLength);
NTSTATUS TW_NTAPI NtTerminateProcess(HANDLE ProcessHandle, NTSTATUS ExitStatus);
}

namespace {

#ifdef TW_WINE_SYSTEMROOT
// Test builds only: Wine does not resolve \SystemRoot\, so such a name is
// rewritten onto the C: drive's Windows folder. Names that would not fit are
// passed on unchanged and fail to open, as an unknown name would.
constexpr size_t kMappedNameUnits = 512;

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}

const wchar_t* MapSystemRoot(const wchar_t* name, wchar_t* mapped) {
  const wchar_t kSystemRoot[] = L"\\SystemRoot\\";
  const wchar_t kWindows[] = L"\\??\\C:\\windows\\";
  if (!StartsWith(name, kSystemRoot)) return name;
  size_t length = 0;
  for (const wchar_t* part = kWindows; *part; ++part) mapped[length++] = *part;
  for (const wchar_t* rest = name + (sizeof kSystemRoot / sizeof(wchar_t) - 1); *rest; ++rest) {
    if (length + 1 >= kMappedNameUnits) return name;
    mapped[length++] = *rest;
  }
  mapped[length] = 0;
  return mapped;
}
#endif

// A file's or a registry key's name as the services take it: counted, looked
// up case-insensitively, no root directory. Keep it alive while the attributes are in use.
class FileObjectName {
 public:
  explicit FileObjectName(const TwChar* name) {
#ifdef TW_WINE_SYSTEMROOT
    name = MapSystemRoot(name, m_mapped);
#endif
    RtlInitUnicodeString(&m_counted, name);
    m_attributes.Length = sizeof m_attributes;
    m_attributes.RootDirectory = nullptr;
    m_attributes.ObjectName = &m_counted;
    m_attributes.Attributes = kObjCaseInsensitive;
    m_attributes.SecurityDescriptor = nullptr;
    m_attributes.SecurityQualityOfService = nullptr;
  }
  FileObjectName(const FileObjectName&) = delete;
  FileObjectName& operator=(const FileObjectName&) = delete;

  OBJECT_ATTRIBUTES* attributes() { return &m_attributes; }
  const UNICODE_STRING& counted() const { return m_counted; }

 private:
  UNICODE_STRING m_counted;
  OBJECT_ATTRIBUTES m_attributes;
#ifdef TW_WINE_SYSTEMROOT
  wchar_t m_mapped[kMappedNameUnits];
#endif
};

FileStatus StatusOf(NTSTATUS status) {
  if (status == kStatusSuccess) return FileStatus::kOk;
  if (status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound) return FileStatus::kNotFound;
  return FileStatus::kFailed;
}

// Opens a file (never a folder) by name. Only full success counts: an
// informational status is not an open file we asked for, but it may still
// come with a handle, which is not kept.
FileStatus OpenByName(const TwChar* name, ULONG access, ULONG disposition, HANDLE* handle) {
  FileObjectName object(name);
  IO_STATUS_BLOCK io = {};
  HANDLE file = nullptr;
  NTSTATUS status = ZwCreateFile(&file, access | kSynchronize, object.attributes(), &io, nullptr, kFileAttributeNormal,
                                 kFileShareRead | kFileShareWrite, disposition,
                                 kFileSynchronousIoNonalert | kFileNonDirectoryFile, nullptr, 0);
  if (status != kStatusSuccess) {
    if (status > kStatusSuccess && file) ZwClose(file);
    return StatusOf(status);
  }
  *handle = file;
  return FileStatus::kOk;
}

}  // namespace

void LayerDisplayString(const TwChar* text) {
  UNICODE_STRING counted;
  RtlInitUnicodeString(&counted, text);
  NtDisplayString(&counted);
}

FileStatus LayerCreateFile(const TwChar* name, uint32_t disposition, TwHandle* handle) {
  return OpenByName(name, kFileReadData | kFileWriteData, disposition, handle);
}

bool LayerReadFile(TwHandle handle, void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done) {
  *done = 0;
  IO_STATUS_BLOCK io = {};
  long long position = offset ? static_cast<long long>(*offset) : 0;
  NTSTATUS status = ZwReadFile(handle, nullptr, nullptr, nullptr, &io, buffer, size, offset ? &position : nullptr,
                               nullptr);
  if (status == kStatusEndOfFile) return true;  // nothing read, buffer untouched
  if (status != kStatusSuccess) return false;
  *done = static_cast<uint32_t>(io.Information);
  return true;
}

bool LayerWriteFile(TwHandle handle, const void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done) {
  *done = 0;
  IO_STATUS_BLOCK io = {};
  long long position = offset ? static_cast<long long>(*offset) : 0;
  NTSTATUS status = ZwWriteFile(handle, nullptr, nullptr, nullptr, &io, buffer, size, offset ? &position : nullptr,
                                nullptr);
  if (status != kStatusSuccess) return false;
  *done = static_cast<uint32_t>(io.Information);
  return *done == size;
}

bool LayerQueryFileSize(TwHandle handle, uint64_t* size) {
  IO_STATUS_BLOCK io = {};
  FileStandardInfo info = {};
  if (ZwQueryInformationFile(handle, &io, &info, sizeof info, kFileStandardInformation) != kStatusSuccess) {
    return false;
  }
  *size = static_cast<uint64_t>(info.EndOfFile);
  return true;
}

bool LayerFlushFile(TwHandle handle) {
  IO_STATUS_BLOCK io = {};
  return ZwFlushBuffersFile(handle, &io) == kStatusSuccess;
}

void LayerCloseFile(TwHandle handle) { ZwClose(handle); }

FileStatus LayerDeleteFile(const TwChar* name) {
  FileObjectName object(name);
  return StatusOf(ZwDeleteFile(object.attributes()));
}

FileStatus LayerRenameFile(const TwChar* from, const TwChar* to, RenameMode mode) {
  FileObjectName target(to);
  const UNICODE_STRING& targetName = target.counted();
  size_t units = targetName.Length / sizeof(wchar_t);
  if (units > kRenameNameUnits) return FileStatus::kFailed;
  FileRenameInfo rename = {};
  rename.ReplaceIfExists = mode == RenameMode::kReplace;
  rename.RootDirectory = nullptr;
  rename.FileNameLength = targetName.Length;
  for (size_t i = 0; i < units; ++i) rename.FileName[i] = targetName.Buffer[i];

  // A rename needs delete access to the file and nothing more.
  HANDLE file = nullptr;
  FileStatus opened = OpenByName(from, kDelete, kFileOpen, &file);
  if (opened != FileStatus::kOk) return opened;
  IO_STATUS_BLOCK io = {};
  ULONG length = static_cast<ULONG>(reinterpret_cast<char*>(rename.FileName) - reinterpret_cast<char*>(&rename)) +
                 targetName.Length;
  NTSTATUS status = ZwSetInformationFile(file, &io, &rename, length, kFileRenameInformation);
  ZwClose(file);
  return status == kStatusSuccess ? FileStatus::kOk : FileStatus::kFailed;
}

FileStatus LayerQueryRegistryString(const TwChar* key, const TwChar* value, TwChar* out, size_t capacity) {
  FileObjectName keyName(key);
  HANDLE opened = nullptr;
  NTSTATUS status = ZwOpenKey(&opened, kKeyQueryValue, keyName.attributes());
  if (status != kStatusSuccess) return StatusOf(status);
  UNICODE_STRING valueName;
  RtlInitUnicodeString(&valueName, value);
  KeyValuePartialInfo info = {};
  ULONG length = 0;
  status = ZwQueryValueKey(opened, &valueName, kKeyValuePartialInformation, &info, sizeof info, &length);
  ZwClose(opened);
  if (status != kStatusSuccess) return StatusOf(status);  // a value too long for the record is an overflow
  if (info.Type != kRegSz || info.DataLength % 2 != 0 || info.DataLength > kRegistryDataBytes) return FileStatus::kFailed;
  // The stored text may or may not end in its terminator.
  size_t units = info.DataLength / 2;
  const unsigned char* data = info.Data;
  while (units && data[2 * units - 2] == 0 && data[2 * units - 1] == 0) --units;
  if (units + 1 > capacity) return FileStatus::kFailed;
  for (size_t i = 0; i < units; ++i) out[i] = static_cast<TwChar>(data[2 * i] | data[2 * i + 1] << 8);
  out[units] = 0;
  return FileStatus::kOk;
}

void LayerQueryDate(int* year, int* month, int* day) {
  long long now = 0;
  ZwQuerySystemTime(&now);  // UTC; the boot has no time zone to apply yet
  TIME_FIELDS fields = {};
  RtlTimeToTimeFields(&now, &fields);
  *year = fields.Year;
  *month = fields.Month;
  *day = fields.Day;
}

TwHeap LayerCreateHeap() {
  RTL_HEAP_PARAMETERS parameters = {};
  parameters.Length = sizeof parameters;
  return RtlCreateHeap(kHeapGrowable, nullptr, kHeapReserve, kHeapCommit, nullptr, &parameters);
}

void* LayerAllocateHeap(TwHeap heap, size_t size) { return RtlAllocateHeap(heap, 0, size); }

void LayerFreeHeap(TwHeap heap, void* block) {
  if (block) RtlFreeHeap(heap, 0, block);
}

void LayerDestroyHeap(TwHeap heap) {
  if (heap) RtlDestroyHeap(heap);
}

bool LayerWidenText(const char* text, TwChar* out, size_t capacity) {
  ULONG length = 0;
  while (text[length]) ++length;
  // Measure first: RtlMultiByteToUnicodeN cuts a long text short without saying so.
  ULONG needed = 0;
  if (RtlMultiByteToUnicodeSize(&needed, text, length) != kStatusSuccess) return false;
  size_t units = needed / sizeof(wchar_t);
  if (capacity == 0 || units > capacity - 1) return false;
  ULONG written = 0;
  if (RtlMultiByteToUnicodeN(out, needed, &written, text, length) != kStatusSuccess) return false;
  out[written / sizeof(wchar_t)] = 0;
  return true;
}

void LayerTerminateProcess(uint32_t status) {
  for (;;) NtTerminateProcess(kCurrentProcess, static_cast<NTSTATUS>(status));
}
