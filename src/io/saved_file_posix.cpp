#include "io/saved_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int descriptor_of(const SavedFile& file) { return static_cast<int>(file.handle); }

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

int open_descriptor(const char* name, FileAccess& access) {
    access = FileAccess::ReadWrite;
    int descriptor = open_retrying(name, O_RDWR | OPEN_FLAGS);
    if (descriptor < 0 && errno == ENOENT) {
        // Creating without O_TRUNC: a file that appeared meanwhile is kept as it is.
        descriptor = open_retrying(name, O_RDWR | O_CREAT | OPEN_FLAGS, 0666);
    } else if (descriptor < 0 && (errno == EACCES || errno == EROFS || errno == EPERM ||
                                  errno == ETXTBSY)) {
        access = FileAccess::ReadOnly;
        descriptor = open_retrying(name, O_RDONLY | OPEN_FLAGS);
    }
    return descriptor;
}

}  // namespace

SavedFile open_saved_file(std::string_view name) {
    SavedFile file;
    file.name = name;
    // A name with a NUL byte names no file; cutting it short would open another.
    if (name.empty() || name.find('\0') != std::string_view::npos) return file;
    FileAccess access = FileAccess::ReadOnly;
    const int descriptor = open_descriptor(file.name.c_str(), access);
    if (descriptor < 0) return file;
    if (!is_regular_file(descriptor)) {
        ::close(descriptor);
        return file;
    }
    file.handle = descriptor;
    file.access = access;
    return file;
}

unsigned char read_byte_at(SavedFile& file, std::uint64_t position) {
    if (file.handle == NO_FILE_HANDLE || position == 0) return 0;
    const std::uint64_t offset = position - 1;
    const std::uint64_t block = offset - offset % READ_WINDOW_SIZE;
    if (!file.window_filled || file.window_offset != block) {
        file.window_filled = false;
        ssize_t count = 0;
        do {
            count = ::pread(descriptor_of(file), file.window, sizeof file.window,
                            static_cast<off_t>(block));
        } while (count < 0 && errno == EINTR);
        if (count < 0) return 0;
        file.window_offset = block;
        file.window_length = static_cast<std::size_t>(count);
        file.window_filled = true;
    }
    const std::uint64_t index = offset - block;
    return index < file.window_length ? file.window[index] : 0;
}

WriteResult write_byte_at(SavedFile& file, std::uint64_t position, unsigned char byte) {
    if (file.handle == NO_FILE_HANDLE || position == 0) return {WriteOutcome::NoFile, 0};
    if (file.access == FileAccess::ReadOnly) return {WriteOutcome::ReadOnly, 0};
    const int descriptor = descriptor_of(file);
    const std::uint64_t offset = position - 1;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return {WriteOutcome::Failed, errno};
    if (offset >= static_cast<std::uint64_t>(status.st_size)) return {WriteOutcome::PastEnd, 0};
    ssize_t written = 0;
    do {
        written = ::pwrite(descriptor, &byte, 1, static_cast<off_t>(offset));
    } while (written < 0 && errno == EINTR);
    if (written != 1) return {WriteOutcome::Failed, written < 0 ? errno : EIO};
    if (file.window_filled && offset - file.window_offset < file.window_length &&
        offset >= file.window_offset) {
        file.window[offset - file.window_offset] = byte;
    }
    int synced = 0;
    do {
        synced = ::fsync(descriptor);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) return {WriteOutcome::Failed, errno};
    return {WriteOutcome::Written, 0};
}

void close_saved_file(SavedFile& file) {
    if (file.handle == NO_FILE_HANDLE) return;
    ::close(descriptor_of(file));
    file.handle = NO_FILE_HANDLE;
    file.window_filled = false;
}
