// What the tool knows of a saved file: the marker and model bytes it reads to
// recognise the radio, and where the nine key-function slots lie.
#pragma once

#include "io/saved_file.h"

#include <cstdint>

// The digit that tells the two model numbers apart.
enum class RadioModel : std::uint8_t { None = 0, Tk481Ver2 = 4, Tk981 = 9 };

// Key n's function byte is at position KEY_SLOT_BASE + n, for n from 1 to 9.
inline constexpr std::uint64_t KEY_SLOT_BASE = 322;
inline constexpr int KEY_COUNT = 9;
// The slot value that gives a key the function TA: "R".
inline constexpr unsigned char TA_FUNCTION_CODE = 0x52;

// Reads at most four bytes (positions 4 and 5, then perhaps 18 and 20); never writes.
RadioModel detect_model(SavedFile& file);

// The detection line and an empty line, or the not-valid line.
void report_model(RadioModel model);
