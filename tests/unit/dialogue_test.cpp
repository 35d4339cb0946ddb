#include "io/dialogue.h"
#include "memory_console.h"

#include <gtest/gtest.h>

#include <string>

namespace {

MemoryConsole& console_with(bool input_is_console, std::string input) {
    MemoryConsole& console = reset_memory_console();
    console.input_is_console = input_is_console;
    console.input = std::move(input);
    start_dialogue();
    return console;
}

TEST(Dialogue, ConsoleQuestionShowsPromptThenQuestionMark) {
    MemoryConsole& console = console_with(true, "  name.dat  \n");
    EXPECT_EQ(ask_text("Enter the name"), "name.dat  ");
    finish_dialogue();
    // The terminal echoed the Enter: no line end of the tool's own.
    EXPECT_EQ(console.output, "Enter the name? ");
}

TEST(Dialogue, ConsoleQuestionWithEmptyPromptShowsOnlyQuestionMark) {
    MemoryConsole& console = console_with(true, "x\n");
    EXPECT_EQ(ask_text(""), "x");
    finish_dialogue();
    EXPECT_EQ(console.output, "? ");
}

TEST(Dialogue, EndOfInputAtConsoleGetsOneLineEnd) {
    for (const char* typed : {"", "abc"}) {
        MemoryConsole& console = console_with(true, typed);
        EXPECT_EQ(ask_text("Q"), typed);
        finish_dialogue();
        EXPECT_EQ(console.output, "Q? \r\n");
    }
}

TEST(Dialogue, ConsoleReadsAFreshLineForEachQuestion) {
    MemoryConsole& console = console_with(true, "name,7\n5 rest\n");
    EXPECT_EQ(ask_text("A"), "name");
    EXPECT_EQ(ask_number("B"), 5.0F);  // the ",7" of the first line was dropped
    finish_dialogue();
    EXPECT_EQ(console.output, "A? B? ");
}

TEST(Dialogue, RedirectedInputContinuesAcrossQuestionsWithoutPrompts) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{8192}}) {
        MemoryConsole& console = console_with(false, "saved.dat,3\r\n");
        console.read_chunk = chunk;
        EXPECT_EQ(ask_text("File"), "saved.dat");
        EXPECT_EQ(ask_number("Key"), 3.0F);
        EXPECT_EQ(ask_text("More"), "");  // exhausted input: empty, and again 0
        EXPECT_EQ(ask_number("More"), 0.0F);
        finish_dialogue();
        EXPECT_EQ(console.output, "");
    }
}

TEST(Dialogue, RedirectedQuestionShowsEarlierOutputFirst) {
    MemoryConsole& console = console_with(false, "1\n");
    print_text("menu");
    ask_number("Key");
    EXPECT_EQ(console.output, "menu");
}

TEST(Dialogue, PrintsTextLineEndsAndNumbersExactly) {
    MemoryConsole& console = console_with(false, "");
    print_text("");
    print_text("a");
    print_number(7.0F);
    print_number(-2.5F);
    end_line();
    end_line();
    finish_dialogue();
    EXPECT_EQ(console.output, "a 7-2.5\r\n\r\n");
}

TEST(Dialogue, LongOutputPassesWhole) {
    MemoryConsole& console = console_with(false, "");
    const std::string long_text(20000, 'z');
    print_text(long_text);
    finish_dialogue();
    EXPECT_EQ(console.output, long_text);
}

TEST(Dialogue, ClearsOnlyAConsoleOutput) {
    MemoryConsole& console = console_with(false, "");
    clear_screen();
    EXPECT_EQ(console.output, "");
    console.output_is_console = true;
    start_dialogue();
    print_text("before");
    clear_screen();
    EXPECT_EQ(console.output, std::string("before") + MEMORY_CLEAR_MARK);
}

TEST(Dialogue, ErrorLineFollowsAllOutputSoFar) {
    MemoryConsole& console = console_with(false, "");
    print_text("out");
    print_error_line("bad");
    EXPECT_EQ(console.output, "out");
    EXPECT_EQ(console.error, "bad\r\n");
}

}  // namespace
