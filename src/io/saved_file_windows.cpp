#include "io/saved_file.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

HANDLE handle_of(const SavedFile& file) {
    return reinterpret_cast<HANDLE>(file.handle);  // NOLINT(performance-no-int-to-ptr)
}

OVERLAPPED at_offset(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFU);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32U);
    return where;
}

HANDLE open_handle(const char* name, DWORD rights, DWORD disposition) {
    return CreateFileA(name, rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Only disk files: not a device (CON, NUL, COM1), not a pipe, not a folder.
bool is_regular_file(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(handle, &information) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

SavedFile open_saved_file(std::string_view name) {
    SavedFile file;
    file.name = name;
    // A name with a NUL byte names no file; cutting it short would open another.
    if (name.empty() || name.find('\0') != std::string_view::npos) return file;
    const char* path = file.name.c_str();
    FileAccess access = FileAccess::ReadWrite;
    HANDLE handle = open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            // OPEN_ALWAYS never truncates: a file that appeared meanwhile is kept as it is.
            handle = open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        } else if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
            access = FileAccess::ReadOnly;
            handle = open_handle(path, GENERIC_READ, OPEN_EXISTING);
        }
    }
    if (handle == INVALID_HANDLE_VALUE) return file;
    if (!is_regular_file(handle)) {
        CloseHandle(handle);
        return file;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    file.access = access;
    return file;
}

unsigned char read_byte_at(SavedFile& file, std::uint64_t position) {
    if (file.handle == NO_FILE_HANDLE || position == 0) return 0;
    const std::uint64_t offset = position - 1;
    const std::uint64_t block = offset - offset % READ_WINDOW_SIZE;
    if (!file.window_filled || file.window_offset != block) {
        file.window_filled = false;
        OVERLAPPED where = at_offset(block);
        DWORD count = 0;
        if (ReadFile(handle_of(file), file.window, sizeof file.window, &count, &where) == 0 &&
            GetLastError() != ERROR_HANDLE_EOF) {
            return 0;
        }
        file.window_offset = block;
        file.window_length = count;
        file.window_filled = true;
    }
    const std::uint64_t index = offset - block;
    return index < file.window_length ? file.window[index] : 0;
}

WriteResult write_byte_at(SavedFile& file, std::uint64_t position, unsigned char byte) {
    if (file.handle == NO_FILE_HANDLE || position == 0) return {WriteOutcome::NoFile, 0};
    if (file.access == FileAccess::ReadOnly) return {WriteOutcome::ReadOnly, 0};
    HANDLE handle = handle_of(file);
    const std::uint64_t offset = position - 1;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(handle, &size) == 0) return {WriteOutcome::Failed, static_cast<int>(GetLastError())};
    if (offset >= static_cast<std::uint64_t>(size.QuadPart)) return {WriteOutcome::PastEnd, 0};
    OVERLAPPED where = at_offset(offset);
    DWORD written = 0;
    if (WriteFile(handle, &byte, 1, &written, &where) == 0 || written != 1) {
        return {WriteOutcome::Failed, static_cast<int>(GetLastError())};
    }
    if (file.window_filled && offset >= file.window_offset &&
        offset - file.window_offset < file.window_length) {
        file.window[offset - file.window_offset] = byte;
    }
    if (FlushFileBuffers(handle) == 0) return {WriteOutcome::Failed, static_cast<int>(GetLastError())};
    return {WriteOutcome::Written, 0};
}

void close_saved_file(SavedFile& file) {
    if (file.handle == NO_FILE_HANDLE) return;
    CloseHandle(handle_of(file));
    file.handle = NO_FILE_HANDLE;
    file.window_filled = false;
}
