// The installation snapshot and its index line, over stdio streams.
#include "SnapshotSeed.h"

#include "CommitStream.h"
#include "UniqueHandle.h"
#include "profile_slot.h"
#include "snapshot_section.h"

#include <cstring>

namespace {

// Copies pass through a buffer of this size, as the boot-time program's do.
const uint32_t kSectionChunkSize = 1024;
const char kSnapshotName[] = "11111111.xff";
const char* const kRepairHives[] = {"system", "software", "sam", "NTUSER.DAT"};
const char kInstallationLine[] = "1111-11-11\t0\t1";

// The length of a file that a section header can state; false otherwise.
bool SectionLength(FILE* file, uint32_t* length) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return false;
    long end = std::ftell(file);
    if (end < 0 || static_cast<unsigned long>(end) > kMaxSectionLength || std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    *length = static_cast<uint32_t>(end);
    return true;
}

bool CopyBytes(FILE* source, FILE* output, uint32_t length) {
    char chunk[kSectionChunkSize];
    while (length) {
        std::size_t piece = length < kSectionChunkSize ? length : kSectionChunkSize;
        if (std::fread(chunk, 1, piece, source) != piece || std::fwrite(chunk, 1, piece, output) != piece)
            return false;
        length -= static_cast<uint32_t>(piece);
    }
    return true;
}

// slotText is a zero-filled buffer of at least kSlotSize bytes.
bool WriteSlot(FILE* index, int slot, const char* slotText) {
    return std::fseek(index, static_cast<long>(slot) * kSlotSize, SEEK_SET) == 0 &&
           std::fwrite(slotText, 1, kSlotSize, index) == static_cast<std::size_t>(kSlotSize);
}

// Slot 1 goes first and reaches the disk before the header counts it: until the
// header says 1, a reader never takes slot 1 for a line, and once it does, after
// a power cut too, the line is there. Both are on the disk when this returns.
bool WriteInstallationIndex(const std::string& path) {
    tw::UniqueFile index(std::fopen(path.c_str(), "rb+"));
    if (!index)
        return false;
    char header[kSlotBufferSize];
    FormatIndexNumSlot(header, 1);
    char line[kSlotBufferSize] = {};
    std::memcpy(line, kInstallationLine, sizeof kInstallationLine);
    bool written = WriteSlot(index.Get(), 1, line) && CommitStream(index.Get()) && WriteSlot(index.Get(), 0, header) &&
                   CommitStream(index.Get());
    return std::fclose(index.Release()) == 0 && written;
}

}  // namespace

bool AppendFileSection(const char* source, FILE* output) {
    // Opened once for its length and its bytes, so both come from the same file.
    tw::UniqueFile input(std::fopen(source, "rb"));
    uint32_t length = 0;
    if (!input || !SectionLength(input.Get(), &length))
        return false;
    char header[kSectionHeaderSize];
    FormatSectionHeader(header, length);
    return std::fwrite(header, 1, sizeof header, output) == sizeof header && CopyBytes(input.Get(), output, length);
}

bool SeedSnapshotIn(const std::string& windowsFolder, char separator) {
    if (windowsFolder.empty())
        return false;
    const std::string store = windowsFolder + separator + "twsafe" + separator;
    const std::string repair = windowsFolder + separator + "repair" + separator;
    const std::string snapshotPath = store + kSnapshotName;

    tw::UniqueFile snapshot(std::fopen(snapshotPath.c_str(), "wb+"));
    if (!snapshot)
        return false;
    bool whole = true;
    for (const char* hive : kRepairHives) {
        if (!AppendFileSection((repair + hive).c_str(), snapshot.Get())) {
            whole = false;
            break;
        }
    }
    // On the disk before the index names it: a power cut must not leave a line for a snapshot of zeros.
    whole = whole && CommitStream(snapshot.Get());
    whole = std::fclose(snapshot.Release()) == 0 && whole;
    if (!whole) {
        // A cut-off snapshot must never be taken for the installation state.
        std::remove(snapshotPath.c_str());
        return false;
    }
    return WriteInstallationIndex(store + "bkinfo.dat");
}
