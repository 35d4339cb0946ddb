#include "memory_console.h"

#include "io/console.h"

#include <algorithm>
#include <cstring>

namespace {
MemoryConsole console;
}

MemoryConsole& reset_memory_console() {
    console = MemoryConsole{};
    return console;
}

MemoryConsole& memory_console() { return console; }

void prepare_standard_streams() {}
bool standard_input_is_console() { return console.input_is_console; }
bool standard_output_is_console() { return console.output_is_console; }
void write_standard_output(std::string_view bytes) { console.output.append(bytes); }
void write_standard_error(std::string_view bytes) { console.error.append(bytes); }

std::size_t read_standard_input(char* into, std::size_t capacity) {
    const std::size_t left = console.input.size() - console.input_position;
    const std::size_t count = std::min({left, capacity, console.read_chunk});
    std::memcpy(into, console.input.data() + console.input_position, count);
    console.input_position += count;
    return count;
}

ConsoleLine read_console_line(char* into, std::size_t capacity) {
    ConsoleLine line;
    const std::size_t enter = console.input.find('\n', console.input_position);
    const std::size_t line_end = enter == std::string::npos ? console.input.size() : enter;
    const std::size_t length = line_end - console.input_position;
    line.length = std::min(length, capacity);
    std::memcpy(into, console.input.data() + console.input_position, line.length);
    line.ended_with_enter = enter != std::string::npos;
    console.input_position = line.ended_with_enter ? enter + 1 : line_end;
    return line;
}

void clear_console_window() { console.output.append(MEMORY_CLEAR_MARK); }

std::string_view system_error_text(int error_code) { return std::strerror(error_code); }
