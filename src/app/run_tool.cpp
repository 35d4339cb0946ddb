#include "app/run_tool.h"

#include "io/dialogue.h"
#include "io/saved_file.h"
#include "radio/key_menu.h"
#include "radio/radio_model.h"

#include <string_view>

namespace {

constexpr std::string_view BANNER[] = {
    "               ************ For Ham Use Only  ************* ",
    " This program will alter the file saved by KPG49D to assign the function TA to",
    " any key on a TK-981 or TK-481 ver. 2 radio. WINdows 7 Support.",
    "               ********************************************  ",
    "                     ta-key: the TA function for any key   ",
};

void print_line(std::string_view text) {
    print_text(text);
    end_line();
}

}  // namespace

std::string command_tail(std::span<const char* const> arguments) {
    std::string tail;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) tail += ' ';
        tail += arguments[i];
    }
    return tail;
}

std::string choose_file_name(std::string file_name) {
    if (!file_name.empty()) return file_name;
    return ask_text("Enter the full file name saved by the KW radio prg [name.ext]");
}

int run_tool(std::span<const char* const> arguments) {
    start_dialogue();
    clear_screen();
    std::string file_name = command_tail(arguments);
    for (std::string_view line : BANNER) print_line(line);
    end_line();
    file_name = choose_file_name(std::move(file_name));

    SavedFile saved_file = open_saved_file(file_name);
    const RadioModel model = detect_model(saved_file);
    report_model(model);
    int exit_status = 0;
    if (model != RadioModel::None &&
        run_key_menu(saved_file, model, file_name) == KeyMenuOutcome::NotUpdated) {
        exit_status = 1;
    }
    close_saved_file(saved_file);
    finish_dialogue();
    return exit_status;
}
