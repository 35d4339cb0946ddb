#include "io/saved_file_platform.h"

#include "io/windows_api.h"

namespace {

HANDLE handle_of(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

int last_error() { return static_cast<int>(GetLastError()); }

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

OpenedFile open_regular_file(const char* name) {
    OpenedFile opened;
    FileAccess access = FileAccess::ReadWrite;
    HANDLE handle = open_handle(name, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            // OPEN_ALWAYS never truncates: a file that appeared meanwhile is kept as it is.
            handle = open_handle(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        } else if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
            access = FileAccess::ReadOnly;  // the read-only attribute, or a write-protected disk
            handle = open_handle(name, GENERIC_READ, OPEN_EXISTING);
        }
    }
    if (handle == INVALID_HANDLE_VALUE) return opened;
    if (!is_regular_file(handle)) {
        CloseHandle(handle);
        return opened;
    }
    opened.handle = reinterpret_cast<std::intptr_t>(handle);
    opened.access = access;
    return opened;
}

void close_file(std::intptr_t handle) { CloseHandle(handle_of(handle)); }

std::int64_t read_file_at(std::intptr_t handle, std::uint64_t offset, unsigned char* into,
                          std::size_t capacity) {
    OVERLAPPED where = at_offset(offset);
    DWORD count = 0;
    if (ReadFile(handle_of(handle), into, static_cast<DWORD>(capacity), &count, &where) == 0) {
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return count;
}

int file_size(std::intptr_t handle, std::uint64_t& size) {
    LARGE_INTEGER length{};
    if (GetFileSizeEx(handle_of(handle), &length) == 0) return last_error();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return 0;
}

int write_file_byte_at(std::intptr_t handle, std::uint64_t offset, unsigned char byte) {
    OVERLAPPED where = at_offset(offset);
    DWORD written = 0;
    if (WriteFile(handle_of(handle), &byte, 1, &written, &where) == 0) return last_error();
    return written == 1 ? 0 : static_cast<int>(ERROR_WRITE_FAULT);
}

int sync_file(std::intptr_t handle) {
    return FlushFileBuffers(handle_of(handle)) != 0 ? 0 : last_error();
}
