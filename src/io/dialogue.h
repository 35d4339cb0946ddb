// The console dialogue: every text the tool shows and every answer it takes.
#pragma once

#include <string>
#include <string_view>

// Starts a run's dialogue: decides console or redirected mode for standard
// input and output, and forgets any earlier input position and output.
void start_dialogue();
// Writes out whatever output is still held.
void finish_dialogue();

void print_text(std::string_view text);
void end_line();
void print_number(float value);
void clear_screen();

// On a console: prompt, "? ", one line read; without a console: the next
// item of standard input, no prompt.
std::string ask_text(std::string_view prompt);
float ask_number(std::string_view prompt);

// A line on standard error, after all standard output so far.
void print_error_line(std::string_view text);
