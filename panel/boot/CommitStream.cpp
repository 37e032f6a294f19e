// CommitStream on Windows (the C runtime's _commit, FlushFileBuffers on the
// stream's handle) and on the host (fsync), where the unit tests run it.
#include "CommitStream.h"

#ifdef _WIN32
#include <io.h>
#else
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
