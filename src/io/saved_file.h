// Byte access to the one saved file a run edits. Positions count from 1:
// position p is the byte at offset p - 1. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class FileAccess { ReadWrite, ReadOnly };

inline constexpr std::intptr_t NO_FILE_HANDLE = -1;
inline constexpr std::size_t READ_WINDOW_SIZE = 8192;

struct SavedFile {
    std::string name;
    std::intptr_t handle = NO_FILE_HANDLE;  // descriptor or HANDLE; none when opening failed
    FileAccess access = FileAccess::ReadOnly;
    // Reads are served from one aligned block of the file, fetched once.
    std::uint64_t window_offset = 0;
    std::size_t window_length = 0;
    bool window_filled = false;
    unsigned char window[READ_WINDOW_SIZE];
};

enum class WriteOutcome {
    Written,    // the byte is in the file and synced to storage
    NoFile,     // nothing was opened
    ReadOnly,   // the file could only be opened for reading
    PastEnd,    // the position lies beyond the file's end: writing would extend it
    Failed,     // the write, flush or sync failed; see system_error
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::NoFile;
    int system_error = 0;
};

// Opens the named regular file for reading and writing, creating it empty
// when missing and falling back to reading only when it cannot be written.
// Never prints; a failure leaves the handle empty.
SavedFile open_saved_file(std::string_view name);

// The byte at the position, or 0 when none can be read there.
unsigned char read_byte_at(SavedFile& file, std::uint64_t position);

// Writes exactly one byte in place; never extends the file.
WriteResult write_byte_at(SavedFile& file, std::uint64_t position, unsigned char byte);

void close_saved_file(SavedFile& file);
