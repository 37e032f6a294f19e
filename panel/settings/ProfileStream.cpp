// The settings reader and writer over stdio streams: the shared key search, with slots read and written through the stream.
#include "ProfileStream.h"

namespace {

// A stream open for update needs a seek between reading and writing: every slot access seeks first.
bool SeekSlot(FILE* stream, int index) {
    return std::fseek(stream, static_cast<long>(index) * kSlotSize, SEEK_SET) == 0;
}

SlotRead ReadSlot(void* file, int index, char* slot) {
    FILE* stream = static_cast<FILE*>(file);
    std::clearerr(stream);
    if (!SeekSlot(stream, index))
        return SettleSlotRead(slot, 0, true);
    std::size_t done = std::fread(slot, 1, kSlotSize, stream);
    return SettleSlotRead(slot, done, std::ferror(stream) != 0);
}

bool WriteSlot(void* file, int index, const char* slot) {
    FILE* stream = static_cast<FILE*>(file);
    return SeekSlot(stream, index) && std::fwrite(slot, 1, kSlotSize, stream) == static_cast<std::size_t>(kSlotSize);
}

}  // namespace

bool ReadIniStream(FILE* stream, const char* key, char* value, std::size_t valueSize) {
    return stream && key && value && ReadProfileValue({stream, ReadSlot, WriteSlot}, key, value, valueSize);
}

bool WriteIniStream(FILE* stream, const char* key, const char* value) {
    return stream && key && value && WriteProfileValue({stream, ReadSlot, WriteSlot}, key, value) &&
           std::fflush(stream) == 0;
}
