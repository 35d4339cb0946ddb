// A console held in memory, linked in place of the platform console so the
// dialogue and whole runs can be driven and checked without a terminal.
#pragma once

#include <cstddef>
#include <string>

struct MemoryConsole {
    bool input_is_console = false;
    bool output_is_console = false;
    // Redirected: the stream's bytes. Console: the typed lines, each ended by
    // '\n' for Enter; bytes after the last '\n' are a line ended by end of input.
    std::string input;
    std::size_t input_position = 0;
    std::size_t read_chunk = 8192;  // most bytes one read returns
    std::string output;
    std::string error;
};

// Clears everything and returns the console the next run talks to.
MemoryConsole& reset_memory_console();
MemoryConsole& memory_console();

// What clear_console_window leaves in the output.
inline constexpr const char* MEMORY_CLEAR_MARK = "<clear>";
