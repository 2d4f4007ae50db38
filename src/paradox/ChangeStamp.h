#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace px {

// What shows that a table was written to between two moments: its data file's and its blob
// file's identity (device and inode), size, modification time and change time (to the
// nanosecond), and the data file header's counters. A program can set a file's modification
// time back (`cp -p`, `touch -r`), but no program sets back its change time, which every write
// and every change of times moves. Taken without opening any file for writing and without
// locking, so that the program that owns the table never notices; a write within one tick of the
// file system's clock is the one change it cannot see.
struct ChangeStamp {
    struct FileState {
        bool exists = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedSeconds = 0;
        int64_t modifiedNanoseconds = 0;
        int64_t changedSeconds = 0;
        int64_t changedNanoseconds = 0;
        bool operator==(const FileState&) const = default;
    };
    FileState table;
    FileState blobs;
    // The header's first bytes, where its counters lie: the record count (0x06), the used and
    // first and last blocks (0x0A-0x11), the change counters (0x2D, 0x2E, 0x70, 0x74) and the
    // update time (0x60). The bytes a file too short holds, the rest zero.
    std::array<unsigned char, 0x78> header{};

    bool operator==(const ChangeStamp&) const = default;
};

// The stamp of the table file `tablePath` and of its blob file (`.MB` beside it, in any case).
// Never throws: a file that cannot be read is a stamp of its own, unequal to one that could.
ChangeStamp changeStampOf(const std::string& tablePath);

}  // namespace px
