#include "radio/radio_model.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct DetectionCase {
    const char* label;
    std::string bytes;
    RadioModel model;
};

class DetectModelTest : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(DetectModelTest, RecognisesModelFromMarkerAndModelBytes) {
    TempFolder folder;
    const std::string name = folder.file("saved.dat", GetParam().bytes);
    auto file = std::make_unique<SavedFile>(open_saved_file(name));
    EXPECT_EQ(detect_model(*file), GetParam().model);
    close_saved_file(*file);
    EXPECT_EQ(file_bytes(name), GetParam().bytes);  // reading leaves the file alone
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DetectModelTest,
    ::testing::Values(
        DetectionCase{"tk981_marker", saved_file_bytes('4', '9', '9', '1', 400), RadioModel::Tk981},
        DetectionCase{"tk481_marker", saved_file_bytes('4', '9', '4', '1', 400), RadioModel::Tk481Ver2},
        DetectionCase{"tk981_any_19", saved_file_bytes('4', '9', '9', '1', 20), RadioModel::Tk981},
        DetectionCase{"short_form_91", saved_file_bytes('9', '1', '0', '0', 5), RadioModel::Tk981},
        DetectionCase{"short_form_41", saved_file_bytes('4', '1', '0', '0', 5), RadioModel::Tk481Ver2},
        DetectionCase{"short_form_ignores_18", saved_file_bytes('9', '1', '4', '1', 400), RadioModel::Tk981},
        DetectionCase{"marker_then_49", saved_file_bytes('4', '9', '4', '9', 400), RadioModel::None},
        DetectionCase{"marker_then_other", saved_file_bytes('4', '9', '8', '1', 400), RadioModel::None},
        DetectionCase{"marker_only_5_bytes", saved_file_bytes('4', '9', '9', '1', 5), RadioModel::None},
        DetectionCase{"marker_19_bytes", saved_file_bytes('4', '9', '9', '1', 19), RadioModel::None},
        DetectionCase{"other_digits", saved_file_bytes('9', '9', '9', '1', 400), RadioModel::None},
        DetectionCase{"four_bytes", std::string("abc4"), RadioModel::None},
        DetectionCase{"one_byte", std::string("9"), RadioModel::None},
        DetectionCase{"empty", std::string(), RadioModel::None}),
    [](const auto& case_info) { return std::string(case_info.param.label); });

TEST(DetectModel, FileThatFailedToOpenIsNone) {
    SavedFile file = open_saved_file("");
    EXPECT_EQ(detect_model(file), RadioModel::None);
}

}  // namespace
