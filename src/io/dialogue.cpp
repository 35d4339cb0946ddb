#include "io/dialogue.h"

#include "io/answer_items.h"
#include "io/console.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::string_view LINE_END = "\r\n";
constexpr std::size_t OUTPUT_CAPACITY = 8192;
constexpr std::size_t INPUT_CAPACITY = 8192;

struct DialogueState {
    bool input_is_console = false;
    bool output_is_console = false;
    std::size_t output_length = 0;
    char output[OUTPUT_CAPACITY]{};
    char input_bytes[INPUT_CAPACITY]{};
    AnswerInput redirected_input;
    char console_line[INPUT_CAPACITY]{};
    AnswerInput console_input;
    TextItem text_item;
    NumberItem number_item;
};

constinit DialogueState state;

void flush_output() {
    if (state.output_length > 0) {
        write_standard_output({state.output, state.output_length});
        state.output_length = 0;
    }
}

std::size_t fetch_standard_input(void* /*context*/, char* into, std::size_t capacity) {
    return read_standard_input(into, capacity);
}

// Puts the question and yields the input the item is taken from.
AnswerInput& answer_source(std::string_view prompt) {
    if (!state.input_is_console) {
        // Whoever drives the tool through pipes sees everything so far first.
        flush_output();
        return state.redirected_input;
    }
    print_text(prompt);
    print_text("? ");
    flush_output();
    const ConsoleLine line = read_console_line(state.console_line, sizeof state.console_line);
    // The terminal echoed Enter as the line advance; without it, write one.
    if (!line.ended_with_enter) end_line();
    state.console_input = answer_input_over({state.console_line, line.length});
    return state.console_input;
}

}  // namespace

void start_dialogue() {
    state.input_is_console = standard_input_is_console();
    state.output_is_console = standard_output_is_console();
    state.output_length = 0;
    state.redirected_input = AnswerInput{};
    state.redirected_input.buffer = state.input_bytes;
    state.redirected_input.capacity = sizeof state.input_bytes;
    state.redirected_input.fetch = fetch_standard_input;
}

void finish_dialogue() { flush_output(); }

void print_text(std::string_view text) {
    while (!text.empty()) {
        if (state.output_length == OUTPUT_CAPACITY) flush_output();
        const std::size_t room = OUTPUT_CAPACITY - state.output_length;
        const std::size_t part = text.size() < room ? text.size() : room;
        std::memcpy(state.output + state.output_length, text.data(), part);
        state.output_length += part;
        text.remove_prefix(part);
    }
}

void end_line() { print_text(LINE_END); }

void print_number(float value) {
    char formatted[FORMATTED_NUMBER_CAPACITY];
    print_text({formatted, format_number(value, formatted)});
}

void clear_screen() {
    if (!state.output_is_console) return;
    flush_output();
    clear_console_window();
}

std::string ask_text(std::string_view prompt) {
    read_text_item(answer_source(prompt), state.text_item);
    return std::string(state.text_item.text());
}

float ask_number(std::string_view prompt) {
    read_number_item(answer_source(prompt), state.number_item);
    return number_from_item(state.number_item.text(), state.number_item.is_real);
}

void print_error_line(std::string_view text) {
    flush_output();
    char line[512];
    // One write keeps the message whole when several programs share stderr.
    if (text.size() + LINE_END.size() <= sizeof line) {
        std::memcpy(line, text.data(), text.size());
        std::memcpy(line + text.size(), LINE_END.data(), LINE_END.size());
        write_standard_error({line, text.size() + LINE_END.size()});
        return;
    }
    write_standard_error(text);
    write_standard_error(LINE_END);
}
