#include "io/console.h"

#include "io/windows_api.h"

#include <cstring>

namespace {

constexpr char END_OF_INPUT_KEY = '\x1a';  // Ctrl+Z

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

DWORD chunk_size(std::size_t bytes) {
    constexpr std::size_t LARGEST_CHUNK = 1U << 30;
    return static_cast<DWORD>(bytes < LARGEST_CHUNK ? bytes : LARGEST_CHUNK);
}

// Raw bytes through WriteFile: no text-mode translation (a line end stays CR
// LF, never CR CR LF) and no code-page conversion.
void write_all(DWORD which, std::string_view bytes) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
        DWORD written = 0;
        if (WriteFile(handle, bytes.data(), chunk_size(bytes.size()), &written, nullptr) == 0 ||
            written == 0) {
            return;  // a closed pipe or a full disk: the text is lost, the run goes on
        }
        bytes.remove_prefix(written);
    }
}

}  // namespace

// The standard streams are handles, not descriptors: no file the tool opens
// can take their place, and a closed pipe is an error, not a signal.
void prepare_standard_streams() {}

bool standard_input_is_console() { return is_console(GetStdHandle(STD_INPUT_HANDLE)); }
bool standard_output_is_console() { return is_console(GetStdHandle(STD_OUTPUT_HANDLE)); }

void write_standard_output(std::string_view bytes) { write_all(STD_OUTPUT_HANDLE, bytes); }
void write_standard_error(std::string_view bytes) { write_all(STD_ERROR_HANDLE, bytes); }

std::size_t read_standard_input(char* into, std::size_t capacity) {
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD count = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        ReadFile(handle, into, chunk_size(capacity), &count, nullptr) == 0) {
        return 0;
    }
    return count;
}

// The console's cooked mode edits the line, keeps its history and echoes it,
// Enter included; ReadFile returns it with CR LF. Ctrl+Z then Enter is end of
// input (ReadFile may hand back nothing, or the Ctrl+Z itself).
ConsoleLine read_console_line(char* into, std::size_t capacity) {
    ConsoleLine line;
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved_mode = 0;
    GetConsoleMode(handle, &saved_mode);
    SetConsoleMode(handle, saved_mode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    char overflow[512] = {};
    bool ended_by_key = false;
    for (;;) {
        const bool keeping = line.length < capacity && !ended_by_key;
        char* target = keeping ? into + line.length : overflow;
        const std::size_t room = keeping ? capacity - line.length : sizeof overflow;
        DWORD count = 0;
        if (ReadFile(handle, target, chunk_size(room), &count, nullptr) == 0) break;
        if (count == 0) {
            line.ended_with_enter = true;  // Ctrl+Z at the start of the line, Enter echoed
            break;
        }
        std::size_t text_length = count;
        const bool ends_line = target[count - 1] == '\n';
        if (ends_line) {
            --text_length;
            if (text_length > 0 && target[text_length - 1] == '\r') --text_length;
        }
        if (const void* stop = std::memchr(target, END_OF_INPUT_KEY, text_length)) {
            text_length = static_cast<std::size_t>(static_cast<const char*>(stop) - target);
            ended_by_key = true;
        }
        if (keeping) line.length += text_length;
        if (ends_line) {
            line.ended_with_enter = true;
            break;
        }
    }
    SetConsoleMode(handle, saved_mode);
    return line;
}

void clear_console_window() {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(handle, &info) == 0) return;
    const SMALL_RECT window = info.srWindow;
    const DWORD width = static_cast<DWORD>(window.Right) - static_cast<DWORD>(window.Left) + 1U;
    for (SHORT row = window.Top; row <= window.Bottom; ++row) {
        const COORD start{window.Left, row};
        DWORD done = 0;
        FillConsoleOutputCharacterA(handle, ' ', width, start, &done);
        FillConsoleOutputAttribute(handle, info.wAttributes, width, start, &done);
    }
    SetConsoleCursorPosition(handle, COORD{window.Left, window.Top});
}

std::string_view system_error_text(int error_code) {
    static char text[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(error_code), 0, text, sizeof text, nullptr);
    // The system's text ends in a period and CR LF; the tool adds its own line end.
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
        --length;
    }
    if (length == 0) return "system error";
    return {text, length};
}
