// The settings reader and writer over stdio streams, on the shared slot codec.
#include "ProfileStream.h"

#include <cstring>

namespace {

// Reads the next slot at the stream's position. Anything but a whole slot
// reads as zeros, as the boot-time program reads it.
SlotRead ReadSlot(FILE* stream, char* slot) {
    std::memset(slot, 0, kSlotBufferSize);
    std::size_t done = std::fread(slot, 1, kSlotSize, stream);
    if (done == static_cast<std::size_t>(kSlotSize))
        return SlotRead::kWhole;
    bool failed = std::ferror(stream) != 0;
    std::memset(slot, 0, kSlotBufferSize);
    return done == 0 && !failed ? SlotRead::kAbsent : SlotRead::kBroken;
}

// Reads the header from offset 0. False when it does not scan.
bool ReadHeader(FILE* stream, int* count) {
    std::clearerr(stream);
    if (std::fseek(stream, 0, SEEK_SET) != 0)
        return false;
    char slot[kSlotBufferSize];
    ReadSlot(stream, slot);
    return ScanIndexNum(slot, count);
}

bool WriteSlot(FILE* stream, int index, const char* slot) {
    // A stream open for update needs a seek between reading and writing.
    if (std::fseek(stream, static_cast<long>(index) * kSlotSize, SEEK_SET) != 0)
        return false;
    return std::fwrite(slot, 1, kSlotSize, stream) == static_cast<std::size_t>(kSlotSize);
}

}  // namespace

bool ReadIniStream(FILE* stream, const char* key, char* value, std::size_t valueSize) {
    if (!stream || !key || !value)
        return false;
    int count = 0;
    if (!ReadHeader(stream, &count) || count > kMaxIndexNum || count < 1)
        return false;
    char slot[kSlotBufferSize];
    for (int index = 1; index <= count; ++index) {
        ReadSlot(stream, slot);
        if (ScanSlotValue(slot, key, value, valueSize))
            return true;
    }
    return false;
}

bool WriteIniStream(FILE* stream, const char* key, const char* value) {
    if (!stream || !key || !value)
        return false;
    int count = 0;
    if (!ReadHeader(stream, &count) || count > kMaxIndexNum)
        return false;

    char pair[kSlotBufferSize];
    if (!FormatPairSlot(pair, key, value))
        return false;

    // The lowest slot holding the key is the one every reader sees.
    int found = 0;
    char slot[kSlotBufferSize];
    char scratch[kValueBufferSize];
    for (int index = 1; index <= count && found == 0; ++index) {
        switch (ReadSlot(stream, slot)) {
        case SlotRead::kWhole:
            if (ScanSlotValue(slot, key, scratch, sizeof scratch))
                found = index;
            break;
        case SlotRead::kAbsent:
            break;
        case SlotRead::kBroken:
            // Appending now could leave an older value of the key in front of the new one.
            return false;
        }
    }

    int index = found;
    if (index == 0) {
        // A count of 501 would lock both programs out of the file.
        if (count >= kMaxIndexNum)
            return false;
        // A negative count must not lead to a write before the header.
        index = (count < 0 ? 0 : count) + 1;
        char header[kSlotBufferSize];
        FormatIndexNumSlot(header, index);
        if (!WriteSlot(stream, 0, header))
            return false;
    }
    return WriteSlot(stream, index, pair) && std::fflush(stream) == 0;
}
