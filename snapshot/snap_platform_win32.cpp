// The snapshot library's platform operations on Windows (XP SP3 and later, a
// Windows PE among them): kernel32's A functions on code page 936 paths.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "snap_platform.h"

namespace {

std::string g_windows;  // the Windows folder of the installation

HANDLE Handle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 2];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length && length < sizeof full ? WithoutTrailingSeparators(full) : std::string();
}

std::string JoinPath(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

// Windows looks names up without regard to case itself.
std::string HostPath(const SnapPath& path) { return path.inWindows ? JoinPath(g_windows, path.name) : path.name; }

}  // namespace

std::string ShowPath(const SnapPath& path) { return HostPath(path); }

bool SnapFile::OpenForReading(const SnapPath& path) {
  Close();
  HANDLE file = CreateFileA(HostPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  m_handle = reinterpret_cast<intptr_t>(file);
  return file != INVALID_HANDLE_VALUE;
}

bool SnapFile::CreateNew(const SnapPath& path) {
  Close();
  HANDLE file = CreateFileA(HostPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  m_handle = reinterpret_cast<intptr_t>(file);
  return file != INVALID_HANDLE_VALUE;
}

bool SnapFile::Read(void* buffer, size_t size, size_t* done) {
  *done = 0;
  while (*done < size) {
    DWORD piece = size - *done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size - *done);
    DWORD got = 0;
    if (!ReadFile(Handle(m_handle), static_cast<char*>(buffer) + *done, piece, &got, nullptr)) return false;
    if (got == 0) break;
    *done += got;
  }
  return true;
}

bool SnapFile::Write(const void* buffer, size_t size) {
  size_t total = 0;
  while (total < size) {
    DWORD piece = size - total > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size - total);
    DWORD put = 0;
    if (!WriteFile(Handle(m_handle), static_cast<const char*>(buffer) + total, piece, &put, nullptr) || put == 0) {
      return false;
    }
    total += put;
  }
  return true;
}

bool SnapFile::Seek(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(Handle(m_handle), distance, nullptr, FILE_BEGIN) != 0;
}

bool SnapFile::Size(uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(Handle(m_handle), &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool SnapFile::Flush() { return FlushFileBuffers(Handle(m_handle)) != 0; }

void SnapFile::Close() {
  if (Handle(m_handle) != INVALID_HANDLE_VALUE) CloseHandle(Handle(m_handle));
  m_handle = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

bool SetInstallation(const std::string& drive, const std::string& systemRoot, std::string* why) {
  if (!IsFolder(drive)) {
    *why = "不是文件夹：" + drive;
    return false;
  }
  g_windows = systemRoot.empty() ? JoinPath(WithoutTrailingSeparators(drive), "WINDOWS") : systemRoot;
  if (!IsFolder(g_windows)) {
    *why = "找不到 Windows 文件夹，请给出 --systemroot";
    return false;
  }
  g_windows = WithoutTrailingSeparators(g_windows);
  return true;
}

bool EngineNameInWindows(const std::string& relative, std::vector<TwChar>* name) {
  std::string full = FullPath(JoinPath(g_windows, relative));
  if (full.empty()) return false;
  full = "\\??\\" + full;
  int units = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  if (units <= 0) return false;
  name->resize(static_cast<size_t>(units));
  return MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, name->data(), units) == units;
}

bool ListFolderFiles(const SnapPath& folder, std::vector<FolderFile>* files) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(JoinPath(HostPath(folder), "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (!(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      FolderFile file;
      file.name = entry.cFileName;
      file.size = static_cast<uint64_t>(entry.nFileSizeHigh) << 32 | entry.nFileSizeLow;
      file.written = static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32 | entry.ftLastWriteTime.dwLowDateTime;
      files->push_back(file);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return true;
}

bool PathExists(const SnapPath& path) {
  return GetFileAttributesA(HostPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RenameOver(const SnapPath& from, const SnapPath& to) {
  return MoveFileExA(HostPath(from).c_str(), HostPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool SyncFile(const SnapPath& path) {
  HANDLE file = CreateFileA(HostPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool synced = FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return synced;
}

bool RemoveFile(const SnapPath& path) { return DeleteFileA(HostPath(path).c_str()) != 0; }

bool PathResolvesInto(const SnapPath& path, const SnapPath& folder) {
  std::string fullPath = FullPath(HostPath(path)), fullFolder = FullPath(HostPath(folder));
  if (fullPath.empty() || fullFolder.empty() || fullPath.size() < fullFolder.size()) return false;
  return _strnicmp(fullPath.c_str(), fullFolder.c_str(), fullFolder.size()) == 0 &&
         (fullPath.size() == fullFolder.size() || fullPath[fullFolder.size()] == '\\');
}

std::string LocalTimeStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  sprintf(text, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}
