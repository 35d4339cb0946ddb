// Scratch files for tests, in a folder removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>

struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ta-key-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        // Open to every user, so a test can also run as an unprivileged one.
        std::filesystem::permissions(path, std::filesystem::perms::all);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name, const std::string& bytes) const {
        const auto full = path / name;
        std::ofstream(full, std::ios::binary) << bytes;
        return full.string();
    }
};

inline std::string file_bytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file that looks like a saved file's first bytes: marker and model digits
// at positions 4, 5, 18 and 20, padded to `length` bytes.
inline std::string saved_file_bytes(char p4, char p5, char p18, char p20, std::size_t length) {
    std::string bytes(length < 20 ? 20 : length, '\0');
    bytes[3] = p4;
    bytes[4] = p5;
    bytes[17] = p18;
    bytes[19] = p20;
    bytes.resize(length);
    return bytes;
}
