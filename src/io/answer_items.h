// Answer items: how the bytes a user typed (or a script piped in) become one
// text or one number. Pure code: no console, no files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t TEXT_ITEM_LIMIT = 4096;
inline constexpr std::size_t NUMBER_ITEM_LIMIT = 67;

// Where answer bytes come from: either one console line held whole in the
// buffer (no fetch), or a stream that fetch refills chunk by chunk. The
// position only moves forward; what an item does not take stays for the next.
struct AnswerInput {
    char* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t next = 0;  // first unread byte in buffer
    std::size_t end = 0;   // one past the last byte held in buffer
    // Fills `into` with up to `capacity` further bytes; 0 means end of input.
    std::size_t (*fetch)(void* context, char* into, std::size_t capacity) = nullptr;
    void* fetch_context = nullptr;
    bool exhausted = false;
    bool line_feed_may_follow = false;  // a CR ended the held bytes; drop an LF that comes next
    std::uint64_t consumed = 0;  // bytes taken so far, over the whole run
};

// An input holding exactly `bytes` and nothing after them.
AnswerInput answer_input_over(std::string_view bytes);

struct TextItem {
    char bytes[TEXT_ITEM_LIMIT]{};
    std::size_t length = 0;
    std::string_view text() const { return {bytes, length}; }
};

struct NumberItem {
    char bytes[NUMBER_ITEM_LIMIT]{};
    std::size_t length = 0;
    bool is_real = false;  // held a point or an exponent letter before any '&'
    std::string_view text() const { return {bytes, length}; }
};

void read_text_item(AnswerInput& input, TextItem& item);
void read_number_item(AnswerInput& input, NumberItem& item);

// The item's value in single precision; 0 when it holds no number.
float number_from_item(std::string_view text, bool is_real);

// "%.7g" without a trailing point, a blank in front unless negative.
// Returns the length written into `out`.
inline constexpr std::size_t FORMATTED_NUMBER_CAPACITY = 32;
std::size_t format_number(float value, char (&out)[FORMATTED_NUMBER_CAPACITY]);
