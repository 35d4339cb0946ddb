#include "io/saved_file.h"

#include "io/saved_file_platform.h"

SavedFile open_saved_file(std::string_view name) {
    SavedFile file;
    file.name = name;
    // A name with a NUL byte names no file; cutting it short would open another.
    if (name.empty() || name.find('\0') != std::string_view::npos) return file;
    const OpenedFile opened = open_regular_file(file.name.c_str());
    file.handle = opened.handle;
    file.access = opened.access;
    return file;
}

unsigned char read_byte_at(SavedFile& file, std::uint64_t position) {
    if (file.handle == NO_FILE_HANDLE || position == 0) return 0;
    const std::uint64_t offset = position - 1;
    const std::uint64_t block = offset - offset % READ_WINDOW_SIZE;
    if (!file.window_filled || file.window_offset != block) {
        file.window_filled = false;
        const std::int64_t count = read_file_at(file.handle, block, file.window, sizeof file.window);
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
    const std::uint64_t offset = position - 1;
    std::uint64_t size = 0;
    if (const int error = file_size(file.handle, size)) return {WriteOutcome::Failed, error};
    // Writing past the end would fill the gap: a saved file's length never changes.
    if (offset >= size) return {WriteOutcome::PastEnd, 0};
    if (const int error = write_file_byte_at(file.handle, offset, byte)) {
        return {WriteOutcome::Failed, error};
    }
    if (file.window_filled && offset >= file.window_offset &&
        offset - file.window_offset < file.window_length) {
        file.window[offset - file.window_offset] = byte;
    }
    if (const int error = sync_file(file.handle)) return {WriteOutcome::Failed, error};
    return {WriteOutcome::Written, 0};
}

void close_saved_file(SavedFile& file) {
    if (file.handle == NO_FILE_HANDLE) return;
    close_file(file.handle);
    file.handle = NO_FILE_HANDLE;
    file.window_filled = false;
}
