// What saved-file access needs from the platform: one implementation per
// platform (saved_file_posix.cpp, saved_file_windows.cpp). Errors are the
// platform's own codes, for system_error_text; 0 means success.
#pragma once

#include "io/saved_file.h"

#include <cstddef>
#include <cstdint>

struct OpenedFile {
    std::intptr_t handle = NO_FILE_HANDLE;
    FileAccess access = FileAccess::ReadOnly;
};

// Opens an existing regular file for reading and writing without truncating
// it, creates it when missing, falls back to reading only when it cannot be
// written. Anything but a regular file is closed again: no handle.
OpenedFile open_regular_file(const char* name);
void close_file(std::intptr_t handle);

// Bytes read at the offset (0 at the end), or -1 on an error.
std::int64_t read_file_at(std::intptr_t handle, std::uint64_t offset, unsigned char* into,
                          std::size_t capacity);
int file_size(std::intptr_t handle, std::uint64_t& size);
int write_file_byte_at(std::intptr_t handle, std::uint64_t offset, unsigned char byte);
// Flushes the file's data to storage.
int sync_file(std::intptr_t handle);
