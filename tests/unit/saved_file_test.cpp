#include "io/saved_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// SavedFile holds its read window inline; keep it off the test's stack frame.
std::unique_ptr<SavedFile> open_file(const std::string& name) {
    return std::make_unique<SavedFile>(open_saved_file(name));
}

TEST(SavedFile, MissingFileIsCreatedEmpty) {
    TempFolder folder;
    const std::string name = (folder.path / "new.dat").string();
    auto file = open_file(name);
    EXPECT_NE(file->handle, NO_FILE_HANDLE);
    EXPECT_EQ(file->access, FileAccess::ReadWrite);
    EXPECT_EQ(file->name, name);
    EXPECT_EQ(read_byte_at(*file, 1), 0);
    close_saved_file(*file);
    ASSERT_TRUE(fs::exists(name));
    EXPECT_EQ(fs::file_size(name), 0U);
}

TEST(SavedFile, EmptyNameOpensNothing) {
    auto file = open_file("");
    EXPECT_EQ(file->handle, NO_FILE_HANDLE);
    EXPECT_EQ(read_byte_at(*file, 1), 0);
    EXPECT_EQ(write_byte_at(*file, 1, 'R').outcome, WriteOutcome::NoFile);
}

TEST(SavedFile, NameWithNulByteOpensNothingAndCreatesNothing) {
    TempFolder folder;
    const std::string real = folder.file("real.dat", "0123456789");
    auto file = open_file(real + std::string("\0.bak", 5));
    EXPECT_EQ(file->handle, NO_FILE_HANDLE);
    EXPECT_EQ(read_byte_at(*file, 1), 0);
}

TEST(SavedFile, ReadsByPositionCountedFromOne) {
    TempFolder folder;
    auto file = open_file(folder.file("one.dat", "A"));
    EXPECT_EQ(read_byte_at(*file, 1), 'A');
    EXPECT_EQ(read_byte_at(*file, 2), 0);
    EXPECT_EQ(read_byte_at(*file, 9000), 0);  // another block, past the end
    EXPECT_EQ(read_byte_at(*file, 1), 'A');
    close_saved_file(*file);
}

TEST(SavedFile, WritesExactlyOneByteAndKeepsTheLength) {
    TempFolder folder;
    std::string bytes(400, '\x11');
    const std::string name = folder.file("slot.dat", bytes);
    auto file = open_file(name);
    EXPECT_EQ(read_byte_at(*file, 323), 0x11);
    EXPECT_EQ(write_byte_at(*file, 323, 'R').outcome, WriteOutcome::Written);
    EXPECT_EQ(read_byte_at(*file, 323), 'R');  // the read window sees the write
    close_saved_file(*file);
    bytes[322] = 'R';
    EXPECT_EQ(file_bytes(name), bytes);
}

TEST(SavedFile, WriteNeverWritesBackBytesItOnlyRead) {
    TempFolder folder;
    const std::string name = folder.file("shared.dat", std::string(400, 'a'));
    auto file = open_file(name);
    EXPECT_EQ(read_byte_at(*file, 4), 'a');
    // Another program changes the file after our read.
    {
        std::fstream other(name, std::ios::in | std::ios::out | std::ios::binary);
        other.seekp(99);
        other.put('Z');
    }
    EXPECT_EQ(write_byte_at(*file, 323, 'R').outcome, WriteOutcome::Written);
    close_saved_file(*file);
    const std::string after = file_bytes(name);
    EXPECT_EQ(after[99], 'Z');
    EXPECT_EQ(after[322], 'R');
}

TEST(SavedFile, WritePastTheEndIsRefusedAndChangesNothing) {
    TempFolder folder;
    const std::string bytes(322, 'b');
    const std::string name = folder.file("short.dat", bytes);
    auto file = open_file(name);
    EXPECT_EQ(write_byte_at(*file, 323, 'R').outcome, WriteOutcome::PastEnd);
    close_saved_file(*file);
    EXPECT_EQ(file_bytes(name), bytes);
}

TEST(SavedFile, WriteAtTheLastByteIsAllowed) {
    TempFolder folder;
    const std::string name = folder.file("exact.dat", std::string(323, 'b'));
    auto file = open_file(name);
    EXPECT_EQ(write_byte_at(*file, 323, 'R').outcome, WriteOutcome::Written);
    close_saved_file(*file);
    EXPECT_EQ(file_bytes(name), std::string(322, 'b') + "R");
}

TEST(SavedFile, OnlyRegularFilesOpen) {
    TempFolder folder;
    const std::string fifo = (folder.path / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {folder.path.string(), fifo, std::string("/dev/null"),
                                    std::string("/dev/zero")}) {
        auto file = open_file(name);  // must not block on the FIFO
        EXPECT_EQ(file->handle, NO_FILE_HANDLE) << name;
        EXPECT_EQ(read_byte_at(*file, 1), 0) << name;
    }
}

// Root writes through read-only permissions, so the check runs as nobody.
TEST(SavedFileDeathTest, ReadOnlyFileIsReadButNeverWritten) {
    TempFolder folder;
    const std::string bytes(400, 'c');
    const std::string name = folder.file("locked.dat", bytes);
    fs::permissions(name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
            SavedFile file = open_saved_file(name);
            const bool ok = file.handle != NO_FILE_HANDLE && file.access == FileAccess::ReadOnly &&
                            read_byte_at(file, 5) == 'c' &&
                            write_byte_at(file, 323, 'R').outcome == WriteOutcome::ReadOnly;
            close_saved_file(file);
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(file_bytes(name), bytes);
}

}  // namespace
