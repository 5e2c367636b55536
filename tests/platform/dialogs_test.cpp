#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include "platform/recording_dialogs.h"

namespace pelrion::platform {
namespace {

struct DefaultAnswerCase {
  const char* name;
  DialogButtons buttons;
  DialogAnswer want;
};

const DefaultAnswerCase kDefaultAnswers[] = {
    {"Ok", DialogButtons::kOk, DialogAnswer::kOk},
    {"OkCancel", DialogButtons::kOkCancel, DialogAnswer::kOk},
    {"YesNo", DialogButtons::kYesNo, DialogAnswer::kNo},
    {"YesNoCancel", DialogButtons::kYesNoCancel, DialogAnswer::kNo},
};

class HeadlessDialogsAnswerTest : public testing::TestWithParam<DefaultAnswerCase> {};

TEST_P(HeadlessDialogsAnswerTest, TakesTheDefaultAndPrintsTheTextUnchanged) {
  HeadlessDialogs dialogs;
  const std::string text = "Do you wish to add another account?\nSecond line \"quoted\" 100%s";
  testing::internal::CaptureStderr();
  const DialogAnswer answer =
      dialogs.MessageBox(text, "Pelrion", DialogIcon::kQuestion, GetParam().buttons);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, GetParam().want);
  EXPECT_NE(err.find(text), std::string::npos) << err;
  EXPECT_NE(err.find("Pelrion"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Buttons, HeadlessDialogsAnswerTest, testing::ValuesIn(kDefaultAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeadlessDialogsTest, ChooserCancelsAndStatusTextsArePrinted) {
  HeadlessDialogs dialogs;
  testing::internal::CaptureStderr();
  EXPECT_EQ(dialogs.ChooseFolder("Locate Database Folder:"), std::nullopt);
  dialogs.ShowStartupStage("Loading settings...");
  dialogs.ShowStatus("Pelrion is shutting down...");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Locate Database Folder:"), std::string::npos) << err;
  EXPECT_NE(err.find("\nLoading settings...\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Pelrion is shutting down...\n"), std::string::npos) << err;
}

TEST(CurrentDialogsTest, InstalledDialogsServeUntilReset) {
  testing_support::RecordingDialogs recording;
  recording.answer = DialogAnswer::kYes;
  SetDialogs(&recording);
  EXPECT_EQ(&CurrentDialogs(), &recording);
  EXPECT_EQ(CurrentDialogs().MessageBox("x", "Pelrion", DialogIcon::kNone, DialogButtons::kYesNo),
            DialogAnswer::kYes);
  SetDialogs(nullptr);
  EXPECT_NE(&CurrentDialogs(), &recording);
  EXPECT_NE(dynamic_cast<HeadlessDialogs*>(&CurrentDialogs()), nullptr);
  ASSERT_EQ(recording.boxes.size(), 1u);
}

}  // namespace
}  // namespace pelrion::platform
