// A whole run of the tool against a saved file made of any bytes, with any
// answers, on a console or redirected. Input layout: one flags byte (bit 0:
// input is a console, bit 1: output is a console, bits 2-7: read size), two
// bytes of file length (little endian, up to 1023), the file's bytes, then the
// answers.
#include "app/run_tool.h"
#include "memory_console.h"
#include "radio/radio_model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

const std::string BANNER_START = "               ************ For Ham Use Only  ************* \r\n";

void check(bool condition) {
    if (!condition) std::abort();
}

// The scratch saved file, in memory where possible; removed when the fuzzer exits.
struct ScratchFile {
    std::string folder;
    std::string path;
    ScratchFile() {
        char pattern[] = "/dev/shm/ta-key-fuzz-XXXXXX";
        char fallback[] = "/tmp/ta-key-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) made = ::mkdtemp(fallback);
        check(made != nullptr);
        folder = made;
        path = folder + "/saved.dat";
    }
    ~ScratchFile() {
        ::unlink(path.c_str());
        ::rmdir(folder.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
};

std::string read_file(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t count = 0;
        while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
        std::fclose(file);
    }
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr);
    check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    if (size < 3) return 0;
    const std::uint8_t flags = data[0];
    std::size_t file_length = (data[1] | static_cast<std::size_t>(data[2]) << 8U) % 1024U;
    if (file_length > size - 3) file_length = size - 3;
    const std::string before(reinterpret_cast<const char*>(data + 3), file_length);
    write_file(path, before);

    MemoryConsole& console = reset_memory_console();
    console.input_is_console = (flags & 1U) != 0;
    console.output_is_console = (flags & 2U) != 0;
    console.read_chunk = 1 + (flags >> 2U) * 137U;
    console.input.assign(reinterpret_cast<const char*>(data + 3 + file_length), size - 3 - file_length);

    const char* arguments[] = {"ta-key", path.c_str()};
    const int status = run_tool(arguments);

    const std::string after = read_file(path);
    check(after.size() == before.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++changed;
        check(i >= KEY_SLOT_BASE && i < KEY_SLOT_BASE + KEY_COUNT);
        check(static_cast<unsigned char>(after[i]) == TA_FUNCTION_CODE);
    }
    check(changed <= 1);
    check(status == 0 || status == 1);
    check((status == 1) == !console.error.empty());
    const std::string expected_start = (console.output_is_console ? MEMORY_CLEAR_MARK : "") + BANNER_START;
    check(console.output.compare(0, expected_start.size(), expected_start) == 0);
    if (status == 0 && console.output.find(" has been updated.\r\n") != std::string::npos) {
        // A claimed update is a real one (or the slot already held the code).
        std::size_t slots_with_code = 0;
        for (std::size_t i = KEY_SLOT_BASE; i < KEY_SLOT_BASE + KEY_COUNT && i < after.size(); ++i) {
            slots_with_code += static_cast<unsigned char>(after[i]) == TA_FUNCTION_CODE ? 1 : 0;
        }
        check(slots_with_code >= 1);
    }
    return 0;
}
