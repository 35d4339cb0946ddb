#include "io/answer_items.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

constexpr int END_OF_INPUT = -1;

void skip_byte(AnswerInput& input) {
    ++input.next;
    ++input.consumed;
}

int peek_byte(AnswerInput& input) {
    for (;;) {
        if (input.next == input.end && !input.exhausted) {
            input.next = 0;
            input.end = 0;
            if (input.fetch != nullptr) {
                input.end = input.fetch(input.fetch_context, input.buffer, input.capacity);
            }
            if (input.end == 0) {
                input.exhausted = true;
            }
        }
        if (input.next == input.end) {
            input.line_feed_may_follow = false;
            return END_OF_INPUT;
        }
        const int c = static_cast<unsigned char>(input.buffer[input.next]);
        if (input.line_feed_may_follow) {
            input.line_feed_may_follow = false;
            if (c == '\n') {
                skip_byte(input);  // the LF of a CR LF that arrived in two reads
                continue;
            }
        }
        return c;
    }
}

bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_line_end(int c) { return c == '\n' || c == '\r'; }

void skip_blanks(AnswerInput& input) {
    while (is_blank(peek_byte(input))) {
        skip_byte(input);
    }
}

// A line end is LF, CR, or CR LF. After a CR that ends what has arrived so
// far, the tool does not wait for a possible LF: a script that ends its lines
// with CR alone and waits for the next question would wait forever. The next
// read drops that LF instead.
void skip_line_end(AnswerInput& input) {
    const int c = peek_byte(input);
    skip_byte(input);
    if (c != '\r') return;
    if (input.next == input.end) {
        input.line_feed_may_follow = true;
    } else if (input.buffer[input.next] == '\n') {
        skip_byte(input);
    }
}

// After an item: blanks and tabs go, then one comma or line end.
void skip_item_separator(AnswerInput& input) {
    skip_blanks(input);
    const int c = peek_byte(input);
    if (c == ',') {
        skip_byte(input);
    } else if (is_line_end(c)) {
        skip_line_end(input);
    }
}

bool is_real_marker(int c) {
    return c == '.' || c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return std::numeric_limits<int>::max();
}

// Whole numbers keep the low bits of what their digits spell (wrap modulo
// 2^64; the caller narrows to 32 bits where the item is short).
std::uint64_t whole_number_bits(std::string_view text) {
    unsigned base = 10;
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && text[0] == '&') {
        if (text.size() < 2) return 0;
        switch (text[1]) {
            case 'H': case 'h': base = 16; i = 2; break;
            case 'O': case 'o': base = 8; i = 2; break;
            case 'B': case 'b': base = 2; i = 2; break;
            default: base = 8; i = 1; break;
        }
    } else if (negative || (!text.empty() && text[0] == '+')) {
        i = 1;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digit_value(text[i]);
        if (digit >= static_cast<int>(base)) break;
        value = value * base + static_cast<unsigned>(digit);
    }
    return negative ? std::uint64_t{0} - value : value;
}

std::size_t count_digits(std::string_view text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
}

// from_chars reports out of range without a value: tell overflow (to
// infinity) from underflow (to zero) by the power of ten of the first
// significant digit.
double out_of_range_value(std::string_view mantissa, long long exponent, bool negative) {
    const std::size_t point = mantissa.find('.');
    const std::size_t whole_length = point == std::string_view::npos ? mantissa.size() : point;
    const std::size_t first_significant = mantissa.find_first_not_of("0.");
    double value = 0.0;
    if (first_significant != std::string_view::npos) {
        const auto significant = static_cast<long long>(first_significant);
        const auto whole = static_cast<long long>(whole_length);
        const long long magnitude =
            first_significant < whole_length ? whole - significant - 1 : whole - significant;
        if (magnitude + exponent > 0) value = std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

// [+-]? ( digits [ "." digits* ] | "." digits ) ( [Ee] [+-]? digits )?,
// longest match at the start; no match reads 0.
double decimal_real(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa_start = i;
    const std::size_t whole_digits = count_digits(text, i);
    i += whole_digits;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fraction_digits = count_digits(text, i + 1);
        if (whole_digits == 0 && fraction_digits == 0) return 0.0;
        i += 1 + fraction_digits;
    } else if (whole_digits == 0) {
        return 0.0;
    }
    const std::size_t mantissa_end = i;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t j = i + 1;
        bool exponent_negative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent_negative = text[j] == '-';
            ++j;
        }
        const std::size_t exponent_digits = count_digits(text, j);
        if (exponent_digits > 0) {
            for (std::size_t k = j; k < j + exponent_digits; ++k) {
                if (exponent < 1'000'000) exponent = exponent * 10 + (text[k] - '0');
            }
            if (exponent_negative) exponent = -exponent;
            i = j + exponent_digits;
        }
    }
    // from_chars takes no leading '+': hand it the text from the mantissa on,
    // with the sign put back for a negative number.
    const char* first = text.data() + mantissa_start;
    const char* last = text.data() + i;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        return out_of_range_value(text.substr(mantissa_start, mantissa_end - mantissa_start),
                                  exponent, negative);
    }
    if (result.ec != std::errc{}) return 0.0;
    return negative ? -value : value;
}

}  // namespace

AnswerInput answer_input_over(std::string_view bytes) {
    AnswerInput input;
    // The bytes are only read; the buffer pointer is non-const because a
    // fetching input writes into it.
    input.buffer = const_cast<char*>(bytes.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    input.capacity = bytes.size();
    input.end = bytes.size();
    return input;
}

void read_text_item(AnswerInput& input, TextItem& item) {
    item.length = 0;
    skip_blanks(input);
    // A quoted item lets commas in and ends at the closing quote.
    const bool quoted = peek_byte(input) == '"';
    if (quoted) skip_byte(input);
    for (;;) {
        const int c = peek_byte(input);
        if (c == END_OF_INPUT) return;
        if (quoted && c == '"') {
            skip_byte(input);
            skip_item_separator(input);
            return;
        }
        if (!quoted && c == ',') {
            skip_byte(input);
            return;
        }
        if (is_line_end(c)) {
            skip_line_end(input);
            return;
        }
        if (item.length == TEXT_ITEM_LIMIT) return;
        // Take the whole run of ordinary bytes the buffer holds in one go: a
        // long answer costs a few instructions a byte, not a call per byte.
        const char* run = input.buffer + input.next;
        const std::size_t held = input.end - input.next;
        const std::size_t room = TEXT_ITEM_LIMIT - item.length;
        const std::size_t most = held < room ? held : room;
        std::size_t length = most;  // at least 1: c itself is ordinary
        for (const char stop : {quoted ? '"' : ',', '\n', '\r'}) {
            if (const void* found = std::memchr(run, stop, length)) {
                length = static_cast<std::size_t>(static_cast<const char*>(found) - run);
            }
        }
        std::memcpy(item.bytes + item.length, run, length);
        item.length += length;
        input.next += length;
        input.consumed += length;
    }
}

void read_number_item(AnswerInput& input, NumberItem& item) {
    item.length = 0;
    item.is_real = false;
    bool ampersand_seen = false;
    const auto take = [&](int c) {
        if (c == '&') {
            ampersand_seen = true;
        } else if (!ampersand_seen && is_real_marker(c)) {
            item.is_real = true;
        }
        item.bytes[item.length++] = static_cast<char>(c);
        skip_byte(input);
    };
    skip_blanks(input);
    if (peek_byte(input) == '"') {
        skip_byte(input);
        for (;;) {
            const int c = peek_byte(input);
            if (c == END_OF_INPUT || is_line_end(c)) break;
            if (c == '"') {
                skip_byte(input);
                break;
            }
            if (item.length == NUMBER_ITEM_LIMIT) return;
            take(c);
        }
    }
    for (;;) {
        const int c = peek_byte(input);
        if (c == END_OF_INPUT) return;
        if (is_blank(c) || c == ',' || is_line_end(c)) break;
        if (item.length == NUMBER_ITEM_LIMIT) return;
        take(c);
    }
    skip_item_separator(input);
}

float number_from_item(std::string_view text, bool is_real) {
    const bool begins_with_ampersand = !text.empty() && text[0] == '&';
    if (is_real || (text.size() >= 19 && !begins_with_ampersand)) {
        if (!is_real) return static_cast<float>(decimal_real(text));
        // In a real item D and d stand for E and e.
        char spelled[NUMBER_ITEM_LIMIT];
        const std::size_t length = text.size() < sizeof spelled ? text.size() : sizeof spelled;
        for (std::size_t i = 0; i < length; ++i) {
            const char c = text[i];
            spelled[i] = c == 'D' ? 'E' : c == 'd' ? 'e' : c;
        }
        return static_cast<float>(decimal_real({spelled, length}));
    }
    const std::uint64_t bits = whole_number_bits(text);
    if (text.size() < 10) {
        return static_cast<float>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
    }
    return static_cast<float>(static_cast<std::int64_t>(bits));
}

std::size_t format_number(float value, char (&out)[FORMATTED_NUMBER_CAPACITY]) {
    char digits[FORMATTED_NUMBER_CAPACITY - 1];
    std::to_chars_result result{};
    if (value >= 0.0F && value < 1e7F && !std::signbit(value) &&
        value == static_cast<float>(static_cast<std::int32_t>(value))) {
        // A whole number below ten million prints as its digits under "%.7g":
        // the key menu's numbers skip the general conversion.
        result = std::to_chars(digits, digits + sizeof digits, static_cast<std::int32_t>(value));
    } else {
        result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                               std::chars_format::general, 7);
    }
    std::size_t length = static_cast<std::size_t>(result.ptr - digits);
    if (length > 0 && digits[length - 1] == '.') --length;
    std::size_t written = 0;
    if (length == 0 || digits[0] != '-') out[written++] = ' ';
    std::memcpy(out + written, digits, length);
    return written + length;
}
