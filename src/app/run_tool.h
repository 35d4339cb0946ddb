// One start of the tool: banner, file name, detection, key menu, exit.
#pragma once

#include <span>
#include <string>

// Every argument after the program's own name, joined by single blanks.
std::string command_tail(std::span<const char* const> arguments);

// The name to open: the command tail, or the answer to the file-name
// question when the tail is empty (asked once, even an empty answer stands).
std::string choose_file_name(std::string file_name);

// The exit status: 0, or 1 when an accepted key could not be written.
int run_tool(std::span<const char* const> arguments);
