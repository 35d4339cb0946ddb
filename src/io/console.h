// What the dialogue needs from the platform's console and standard streams.
// One implementation per platform: console_posix.cpp, console_windows.cpp.
#pragma once

#include <cstddef>
#include <string_view>

// Called first thing: makes sure the standard streams exist (so no file the
// tool opens can take their place) and that a reader going away cannot kill
// the tool half-way.
void prepare_standard_streams();

bool standard_input_is_console();
bool standard_output_is_console();

// Writes all bytes or drops them silently when the stream fails.
void write_standard_output(std::string_view bytes);
void write_standard_error(std::string_view bytes);

// Next bytes of redirected standard input; 0 at its end or on an error.
std::size_t read_standard_input(char* into, std::size_t capacity);

struct ConsoleLine {
    std::size_t length = 0;         // bytes kept, without the Enter
    bool ended_with_enter = false;  // false when input ended first
};

// Reads one line with the console's own editing and echo. Bytes beyond
// `capacity` are read and dropped, so the next read starts on a new line.
ConsoleLine read_console_line(char* into, std::size_t capacity);

// Blanks the visible window only (never the scrollback) and puts the cursor
// at its top-left corner.
void clear_console_window();

// The system's own words for an error code from the saved-file layer.
std::string_view system_error_text(int error_code);
