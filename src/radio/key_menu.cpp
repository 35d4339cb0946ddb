#include "radio/key_menu.h"

#include "io/console.h"
#include "io/dialogue.h"

#include <cmath>
#include <string>

namespace {

constexpr std::uint64_t FIRST_SLOT = KEY_SLOT_BASE + 1;
constexpr std::uint64_t LAST_SLOT = KEY_SLOT_BASE + KEY_COUNT;

std::string failure_reason(const WriteResult& result) {
    switch (result.outcome) {
        case WriteOutcome::ReadOnly:
            return ": the file is read-only";
        case WriteOutcome::PastEnd:
            return ": the file is too short to hold the key slots";
        case WriteOutcome::NoFile:
            return ": the file is not open";
        case WriteOutcome::Failed:
        case WriteOutcome::Written:
            break;
    }
    return std::string(": ") + std::string(system_error_text(result.system_error));
}

}  // namespace

std::string_view key_name_for(RadioModel model, int key) {
    if (key < 1 || key > KEY_COUNT) return {};
    const KeyNameTable& names = model == RadioModel::Tk481Ver2 ? TK481_VER2_KEY_NAMES : KEY_NAMES;
    return names[static_cast<std::size_t>(key - 1)];
}

std::uint64_t slot_position_for_answer(float answer) {
    if (!(answer > 0.0F && answer < 10.0F)) return 0;
    // Single precision on purpose: 0.50001 sums to 322.5 exactly and rounds
    // to 322, outside the slots, where double precision would say 323.
    const float position = std::nearbyint(static_cast<float>(KEY_SLOT_BASE) + answer);
    if (position < static_cast<float>(FIRST_SLOT) || position > static_cast<float>(LAST_SLOT)) {
        return 0;
    }
    return static_cast<std::uint64_t>(position);
}

KeyMenuOutcome run_key_menu(SavedFile& file, RadioModel model, std::string_view file_name) {
    for (int key = 1; key <= KEY_COUNT; ++key) {
        print_text("   ");
        print_number(static_cast<float>(key));
        print_text("-- ");
        print_text(key_name_for(model, key));
        end_line();
    }
    end_line();
    print_text("    0 -- Exit ");
    end_line();
    end_line();
    const float answer = ask_number("Enter the number for which key you would like to assign TA to ");
    const std::uint64_t position = slot_position_for_answer(answer);
    if (position == 0) return KeyMenuOutcome::Refused;
    const WriteResult result = write_byte_at(file, position, TA_FUNCTION_CODE);
    if (result.outcome != WriteOutcome::Written) {
        print_error_line(std::string(file_name) + " could not be updated" + failure_reason(result));
        return KeyMenuOutcome::NotUpdated;
    }
    print_text(file_name);
    print_text(" has been updated.");
    end_line();
    return KeyMenuOutcome::Updated;
}
