// The key menu: list the nine keys, ask for one, give it the function TA.
#pragma once

#include "io/saved_file.h"
#include "radio/radio_model.h"

#include <array>
#include <cstdint>
#include <string_view>

// Key names in key order; a TK-981 uses them all.
using KeyNameTable = std::array<std::string_view, KEY_COUNT>;
inline constexpr KeyNameTable KEY_NAMES = {"A",    "B",   "C",    "D",     "Scan",
                                           "Mon",  "Foot", "Sys Up", "Sys Dn"};
// A TK-481 ver. 2 calls keys 4, 7, 8 and 9 otherwise.
inline constexpr KeyNameTable TK481_VER2_KEY_NAMES = {"A",   "B",   "C",     "Lamp", "Scan",
                                                      "Mon", "Aux", "Mic 1", "Mic 2"};

// The name shown for key 1 to 9 under the model.
std::string_view key_name_for(RadioModel model, int key);

// The slot position an answer selects, or 0 when the answer is refused:
// not strictly between 0 and 10, or rounding outside the nine slots. The
// position is 322 + n in single precision, rounded half to even.
std::uint64_t slot_position_for_answer(float answer);

enum class KeyMenuOutcome {
    Refused,     // nothing written, nothing printed
    Updated,     // the byte reached the file; the confirmation was printed
    NotUpdated,  // an accepted key could not be written; the reason went to standard error
};

KeyMenuOutcome run_key_menu(SavedFile& file, RadioModel model, std::string_view file_name);
