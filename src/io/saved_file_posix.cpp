#include "io/saved_file_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int descriptor_of(std::intptr_t handle) { return static_cast<int>(handle); }

int open_retrying(const char* name, int flags, mode_t mode = 0) {
    for (;;) {
        const int descriptor = ::open(name, flags, mode);
        if (descriptor >= 0 || errno != EINTR) return descriptor;
    }
}

bool is_regular_file(int descriptor) {
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

// O_NONBLOCK keeps a FIFO or device name from stalling the open; it does
// nothing to a regular file, the only kind the tool keeps.
constexpr int OPEN_FLAGS = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

}  // namespace

OpenedFile open_regular_file(const char* name) {
    OpenedFile opened;
    FileAccess access = FileAccess::ReadWrite;
    int descriptor = open_retrying(name, O_RDWR | OPEN_FLAGS);
    if (descriptor < 0 && errno == ENOENT) {
        // Creating without O_TRUNC: a file that appeared meanwhile is kept as it is.
        descriptor = open_retrying(name, O_RDWR | O_CREAT | OPEN_FLAGS, 0666);
    } else if (descriptor < 0 &&
               (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY)) {
        access = FileAccess::ReadOnly;
        descriptor = open_retrying(name, O_RDONLY | OPEN_FLAGS);
    }
    if (descriptor < 0) return opened;
    // Decided on the opened handle, so the name cannot be swapped in between.
    if (!is_regular_file(descriptor)) {
        ::close(descriptor);
        return opened;
    }
    opened.handle = descriptor;
    opened.access = access;
    return opened;
}

void close_file(std::intptr_t handle) { ::close(descriptor_of(handle)); }

std::int64_t read_file_at(std::intptr_t handle, std::uint64_t offset, unsigned char* into,
                          std::size_t capacity) {
    for (;;) {
        const ssize_t count = ::pread(descriptor_of(handle), into, capacity, static_cast<off_t>(offset));
        if (count >= 0 || errno != EINTR) return count;
    }
}

int file_size(std::intptr_t handle, std::uint64_t& size) {
    struct stat status {};
    if (::fstat(descriptor_of(handle), &status) != 0) return errno;
    size = static_cast<std::uint64_t>(status.st_size);
    return 0;
}

int write_file_byte_at(std::intptr_t handle, std::uint64_t offset, unsigned char byte) {
    for (;;) {
        const ssize_t written = ::pwrite(descriptor_of(handle), &byte, 1, static_cast<off_t>(offset));
        if (written == 1) return 0;
        if (written < 0 && errno == EINTR) continue;
        return written < 0 ? errno : EIO;
    }
}

int sync_file(std::intptr_t handle) {
    for (;;) {
        if (::fsync(descriptor_of(handle)) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}
