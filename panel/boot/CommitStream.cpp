// CommitStream and CommitFile on Windows (the C runtime's _commit, FlushFileBuffers on the
// stream's handle) and on the host (fsync), where the unit tests run it.
#include "CommitStream.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

bool CommitStream(FILE* stream) {
    if (std::fflush(stream) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(stream)) == 0;
#else
    return fsync(fileno(stream)) == 0;
#endif
}

bool CommitFile(const char* path) {
#ifdef _WIN32
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = ::FlushFileBuffers(file) != FALSE;
    ::CloseHandle(file);
    return flushed;
#else
    int file = open(path, O_WRONLY);
    if (file < 0)
        return false;
    bool flushed = fsync(file) == 0;
    close(file);
    return flushed;
#endif
}
