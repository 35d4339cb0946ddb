#include "io/answer_items.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// A redirected stream that hands out at most `chunk` bytes a read, so items
// cross refills (a CR LF split in two, a long name over several reads).
struct ChunkedStream {
    std::string bytes;
    std::size_t position = 0;
    std::size_t chunk = 1;
    char buffer[8192];
    AnswerInput input;

    ChunkedStream(std::string content, std::size_t chunk_size)
        : bytes(std::move(content)), chunk(chunk_size) {
        input.buffer = buffer;
        input.capacity = sizeof buffer;
        input.fetch = [](void* context, char* into, std::size_t capacity) {
            auto& self = *static_cast<ChunkedStream*>(context);
            std::size_t count = std::min({capacity, self.chunk, self.bytes.size() - self.position});
            std::memcpy(into, self.bytes.data() + self.position, count);
            self.position += count;
            return count;
        };
        input.fetch_context = this;
    }
    // What the next item reads: an LF still owed to a CR read earlier is dropped.
    std::string unread() const {
        std::string rest = std::string(input.buffer + input.next, input.end - input.next) + bytes.substr(position);
        if (input.line_feed_may_follow && !rest.empty() && rest[0] == '\n') rest.erase(0, 1);
        return rest;
    }
    std::uint64_t taken() const { return bytes.size() - unread().size(); }
};

struct ItemCase {
    std::string input;
    std::string item;
    std::string unread;
};

class TextItemTest : public ::testing::TestWithParam<ItemCase> {};

TEST_P(TextItemTest, TakesOneItemAndLeavesTheRest) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{8192}}) {
        ChunkedStream stream(GetParam().input, chunk);
        TextItem item;
        read_text_item(stream.input, item);
        EXPECT_EQ(std::string(item.text()), GetParam().item) << "chunk " << chunk;
        EXPECT_EQ(stream.unread(), GetParam().unread) << "chunk " << chunk;
        EXPECT_EQ(stream.taken(), GetParam().input.size() - GetParam().unread.size());
        EXPECT_LE(stream.input.consumed, stream.taken());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TextItemTest,
    ::testing::Values(
        ItemCase{"  name.dat  \r\nnext", "name.dat  ", "next"},
        ItemCase{"a,b\n", "a", "b\n"},
        ItemCase{"\"a, b\" , c\n", "a, b", " c\n"},
        ItemCase{"\"a,b\"x\n", "a,b", "x\n"},
        ItemCase{"\"a,b\n c", "a,b", " c"},
        ItemCase{"ab\"c\n", "ab\"c", ""},
        ItemCase{"\r\nnext", "", "next"},
        ItemCase{"a\rb", "a", "b"},
        ItemCase{"a\nb", "a", "b"},
        ItemCase{"", "", ""},
        ItemCase{"\t x", "x", ""},
        ItemCase{std::string("a\0\x01\xff,", 5), std::string("a\0\x01\xff", 4), ""},
        ItemCase{std::string(5000, 'x') + "\n", std::string(4096, 'x'), std::string(904, 'x') + "\n"},
        ItemCase{std::string(4096, 'x') + ",next", std::string(4096, 'x'), "next"},
        ItemCase{"\"" + std::string(4100, 'q'), std::string(4096, 'q'), "qqqq"}));

TEST(AnswerItems, CrAtTheEndOfWhatArrivedDoesNotWaitForMore) {
    // A script ending lines with CR alone sends the name, then waits for the
    // menu: the item must come back without another read.
    ChunkedStream stream("name\r\n5\n", 5);
    TextItem text;
    read_text_item(stream.input, text);
    EXPECT_EQ(text.text(), "name");
    EXPECT_EQ(stream.position, 5U);
    // An LF that follows later still belongs to that line end.
    NumberItem number;
    read_number_item(stream.input, number);
    EXPECT_EQ(number.text(), "5");
    EXPECT_EQ(stream.unread(), "");
}

struct NumberCase {
    std::string input;
    float value;
    std::string unread;
};

class NumberItemTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberItemTest, ReadsAndConverts) {
    ChunkedStream stream(GetParam().input, 2);
    NumberItem item;
    read_number_item(stream.input, item);
    const float value = number_from_item(item.text(), item.is_real);
    EXPECT_EQ(value, GetParam().value) << "item '" << std::string(item.text()) << "'";
    EXPECT_EQ(stream.unread(), GetParam().unread);
}

const float INF = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Notations, NumberItemTest,
    ::testing::Values(
        NumberCase{"5 more text\n", 5.0F, "more text\n"},
        NumberCase{"  5  ,6", 5.0F, "6"},
        NumberCase{"5\r\n6", 5.0F, "6"},
        NumberCase{"5x\n", 5.0F, ""},
        NumberCase{"-3", -3.0F, ""},
        NumberCase{"+7", 7.0F, ""},
        NumberCase{"&H1F", 31.0F, ""},
        NumberCase{"&h1f", 31.0F, ""},
        NumberCase{"&H1E", 30.0F, ""},  // E after the ampersand is a digit, not an exponent
        NumberCase{"&11", 9.0F, ""},
        NumberCase{"&O17", 15.0F, ""},
        NumberCase{"&B101", 5.0F, ""},
        NumberCase{"&B102", 2.0F, ""},
        NumberCase{"&", 0.0F, ""},
        NumberCase{"&H", 0.0F, ""},
        NumberCase{"&H-1", 0.0F, ""},
        NumberCase{"word", 0.0F, ""},
        NumberCase{"", 0.0F, ""},
        NumberCase{"\nnext", 0.0F, "next"},
        NumberCase{"-", 0.0F, ""},
        NumberCase{"0x1F", 0.0F, ""},
        NumberCase{"1d0", 1.0F, ""},
        NumberCase{"1D2", 100.0F, ""},
        NumberCase{"2.4", 2.4F, ""},
        NumberCase{".5", 0.5F, ""},
        NumberCase{".", 0.0F, ""},
        NumberCase{"2e", 2.0F, ""},
        NumberCase{"1E+2", 100.0F, ""},
        NumberCase{"-2.5e-1", -0.25F, ""},
        NumberCase{"1.5&H", 1.5F, ""},
        NumberCase{"inf", 0.0F, ""},
        NumberCase{"nan", 0.0F, ""},
        NumberCase{"0x1p3", 0.0F, ""},
        NumberCase{"1e999", INF, ""},
        NumberCase{"-1e999", -INF, ""},
        NumberCase{"1e-999", 0.0F, ""},
        NumberCase{"0.000000000000000000000000000000001e-999", 0.0F, ""},
        NumberCase{"1e39", INF, ""},  // finite as a double, too large for single precision
        NumberCase{"\"1, 2\"", 1.0F, ""},
        NumberCase{"\"1 2\"3 4", 1.0F, "4"},
        NumberCase{"\"2.5", 2.5F, ""},
        NumberCase{"&HFFFFFFF", 268435455.0F, ""},
        NumberCase{"&HFFFFFFFF", 4294967295.0F, ""},          // 10 characters: 64 bits
        NumberCase{"&HFFFFFFFFFFFFFFFF", -1.0F, ""},          // wraps modulo 2^64
        NumberCase{"&H10000000000000005", 5.0F, ""},          // keeps the low bits
        NumberCase{"1234567890", 1234567890.0F, ""},
        NumberCase{"0000000000000000005", 5.0F, ""},          // 19 characters: a real
        NumberCase{"99999999999999999999", 1e20F, ""},
        NumberCase{std::string(100, '1'), INF, std::string(33, '1')}));

struct FormatCase {
    float value;
    std::string text;
};

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, MatchesPrintfG7WithLeadingBlank) {
    char out[FORMATTED_NUMBER_CAPACITY];
    EXPECT_EQ(std::string(out, format_number(GetParam().value, out)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatNumberTest,
    ::testing::Values(FormatCase{7.0F, " 7"}, FormatCase{1.0F, " 1"}, FormatCase{0.0F, " 0"},
                      FormatCase{-0.0F, "-0"}, FormatCase{-2.5F, "-2.5"}, FormatCase{0.1F, " 0.1"},
                      FormatCase{100.0F, " 100"}, FormatCase{1234567.0F, " 1234567"},
                      FormatCase{12345678.0F, " 1.234568e+07"}, FormatCase{1e-5F, " 1e-05"},
                      FormatCase{1e20F, " 1e+20"}, FormatCase{INF, " inf"}));

}  // namespace
