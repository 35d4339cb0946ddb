#include "io/answer_items.h"
#include "radio/key_menu.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeyNames, EachModelNamesItsNineKeys) {
    const char* tk981[] = {"A", "B", "C", "D", "Scan", "Mon", "Foot", "Sys Up", "Sys Dn"};
    const char* tk481[] = {"A", "B", "C", "Lamp", "Scan", "Mon", "Aux", "Mic 1", "Mic 2"};
    for (int key = 1; key <= 9; ++key) {
        EXPECT_EQ(key_name_for(RadioModel::Tk981, key), tk981[key - 1]);
        EXPECT_EQ(key_name_for(RadioModel::Tk481Ver2, key), tk481[key - 1]);
    }
}

struct AnswerCase {
    std::string answer;
    std::uint64_t position;  // 0: refused
};

class SlotForAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SlotForAnswerTest, AcceptsOnlyAnswersThatLandInASlot) {
    AnswerInput input = answer_input_over(GetParam().answer);
    NumberItem item;
    read_number_item(input, item);
    EXPECT_EQ(slot_position_for_answer(number_from_item(item.text(), item.is_real)),
              GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SlotForAnswerTest,
    ::testing::Values(
        AnswerCase{"1", 323}, AnswerCase{"2", 324}, AnswerCase{"3", 325}, AnswerCase{"4", 326},
        AnswerCase{"5", 327}, AnswerCase{"6", 328}, AnswerCase{"7", 329}, AnswerCase{"8", 330},
        AnswerCase{"9", 331},
        AnswerCase{"0", 0}, AnswerCase{"10", 0}, AnswerCase{"-3", 0}, AnswerCase{"word", 0},
        AnswerCase{"", 0}, AnswerCase{"1e999", 0}, AnswerCase{"-0", 0},
        AnswerCase{"2.4", 324}, AnswerCase{"1.5", 324}, AnswerCase{"2.5", 324},  // halves go to even
        AnswerCase{"3.5", 326}, AnswerCase{"8.6", 331},
        AnswerCase{"&H5", 327}, AnswerCase{"&7", 329}, AnswerCase{"&B11", 325}, AnswerCase{"1d0", 323},
        AnswerCase{"0.5", 0}, AnswerCase{"0.3", 0}, AnswerCase{"0.51", 323},
        AnswerCase{"9.5", 0}, AnswerCase{"9.9", 0}, AnswerCase{"9.49", 331},
        // Only single precision sends these outside: 322 + n lands exactly on
        // the half and rounds to the even neighbour.
        AnswerCase{"0.50001", 0}, AnswerCase{"9.49999", 0}));

}  // namespace
