#include "radio/radio_model.h"

#include "io/dialogue.h"

namespace {

// Positions 4 and 5 hold "4" "9" (the first digits of the software's name)
// in files that carry the model at positions 18 and 20; other files carry it
// at 4 and 5 themselves.
constexpr std::uint64_t MARKER_POSITION = 4;
constexpr std::uint64_t MODEL_POSITION = 18;

}  // namespace

RadioModel detect_model(SavedFile& file) {
    unsigned char first = read_byte_at(file, MARKER_POSITION);
    unsigned char last = read_byte_at(file, MARKER_POSITION + 1);
    if (first == '4' && last == '9') {
        first = read_byte_at(file, MODEL_POSITION);
        last = read_byte_at(file, MODEL_POSITION + 2);
    }
    if (last != '1') return RadioModel::None;
    if (first == '4') return RadioModel::Tk481Ver2;
    if (first == '9') return RadioModel::Tk981;
    return RadioModel::None;
}

void report_model(RadioModel model) {
    switch (model) {
        case RadioModel::Tk481Ver2:
        case RadioModel::Tk981:
            print_text("Detected saved file created with KPG49D for model ");
            print_text(model == RadioModel::Tk981 ? "TK-981." : "TK-481 Ver. 2.");
            end_line();
            end_line();
            return;
        case RadioModel::None:
            break;
    }
    print_text("File is not a vaild 900mhz KPG49D file.");
    end_line();
}
