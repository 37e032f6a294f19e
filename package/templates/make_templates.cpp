// Writes the package's template profile files into a folder: wispdata.dat,
// the settings a new installation starts with, and bkinfo.dat, the empty
// snapshot index. Built for the build machine and run at build time.
// Usage: make_templates FOLDER
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "profile_slot.h"

namespace {

using Slot = std::vector<char>;

// The keys every installation starts with; the install adds syspath and
// userpath, which name the machine it runs on.
const char* const kSettings[][2] = {
    {"Backup0", "000"},
    {"IsRepair", "000"},
    {"SignRun", "000"},
};

const int kTopTierEnd = 15;    // slots 1..15: the newest snapshots, empty here
const int kCarryTierEnd = 30;  // slots 16..30: placeholders that the carry rule replaces

Slot EmptySlot() { return Slot(kSlotBufferSize, '\0'); }

Slot HeaderSlot(int count) {
    Slot slot = EmptySlot();
    FormatIndexNumSlot(slot.data(), count);
    return slot;
}

// A carry-tier placeholder: Sign "0", and a date from the year 1000 that no
// snapshot file carries, so that deleting "its" snapshot finds nothing.
Slot PlaceholderSlot(int k) {
    Slot slot = EmptySlot();
    std::snprintf(slot.data(), kSlotSize, "1000-1-%d\t0\t0", k);
    return slot;
}

bool WriteSlots(const std::string& path, const std::vector<Slot>& slots) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    for (const Slot& slot : slots)
        ok = std::fwrite(slot.data(), 1, kSlotSize, file) == static_cast<size_t>(kSlotSize) && ok;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_templates FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];

    std::vector<Slot> settings{HeaderSlot(sizeof kSettings / sizeof kSettings[0])};
    for (const auto& pair : kSettings) {
        settings.push_back(EmptySlot());
        FormatPairSlot(settings.back().data(), pair[0], pair[1]);
    }

    // Count 0: the index is valid and empty until the installation snapshot
    // is recorded, so a failed seeding leaves nothing that names a snapshot.
    std::vector<Slot> index{HeaderSlot(0)};
    for (int k = 1; k <= kTopTierEnd; ++k)
        index.push_back(EmptySlot());
    for (int k = kTopTierEnd + 1; k <= kCarryTierEnd; ++k)
        index.push_back(PlaceholderSlot(k));

    if (!WriteSlots(folder + "/wispdata.dat", settings) || !WriteSlots(folder + "/bkinfo.dat", index)) {
        std::fprintf(stderr, "make_templates: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
