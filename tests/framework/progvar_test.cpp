// Tests of the error list and the start values of the shared state.
#include "framework/progvar.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace qern;

class ErrorListTest : public ::testing::Test {
 protected:
  void SetUp() override { InitProgramState(); }
};

TEST_F(ErrorListTest, KeepsDistinctTextsUpToTwelve) {
  AddError("a");
  AddError("a");
  EXPECT_EQ(Errors.ErrorCount, 1);
  for (int i = 0; i < 12; ++i) AddError("t" + std::to_string(i));  // 13 distinct texts
  EXPECT_EQ(Errors.ErrorCount, 12);
  EXPECT_EQ(Errors.ErrorList[0], "a");
  EXPECT_EQ(Errors.ErrorList[11], "t10");
}

// A text given as a view of a buffer the caller reuses is listed as a copy of its own; after a
// reset an entry takes a shorter or longer text whole.
TEST_F(ErrorListTest, ListsCopiesOfViewedTexts) {
  std::string buffer = "Warnung: Dm <> Dm DIN ! (1)";
  AddError(std::string_view(buffer));
  buffer[buffer.size() - 2] = '2';
  AddError(std::string_view(buffer));
  AddError(std::string_view(buffer).substr(0, 8));
  buffer = "overwritten";
  ASSERT_EQ(Errors.ErrorCount, 3);
  EXPECT_EQ(Errors.ErrorList[0], "Warnung: Dm <> Dm DIN ! (1)");
  EXPECT_EQ(Errors.ErrorList[1], "Warnung: Dm <> Dm DIN ! (2)");
  EXPECT_EQ(Errors.ErrorList[2], "Warnung:");
  ResetErrors();
  AddError("kurz");
  AddError(std::string(100, 'L'));
  EXPECT_EQ(Errors.ErrorList[0], "kurz");
  EXPECT_EQ(Errors.ErrorList[1], std::string(100, 'L'));
}

TEST_F(ErrorListTest, ResetClearsFlagsAndCountButAllowsReAdding) {
  AddError("x");
  AddError("y");
  Flags.FatalError = Flags.AbortFlag = true;
  ResetErrors();
  EXPECT_EQ(Errors.ErrorCount, 0);
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_FALSE(Flags.AbortFlag);
  AddError("y");
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "y");
}

TEST_F(ErrorListTest, ClearLeavesFlags) {
  AddError("x");
  Flags.FatalError = Flags.AbortFlag = true;
  ClearErrorList();
  EXPECT_EQ(Errors.ErrorCount, 0);
  EXPECT_TRUE(Errors.ErrorList[0].empty());
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(ErrorListTest, StartValues) {
  EXPECT_EQ(Settings.ScreenWidth, 0);
  EXPECT_EQ(Settings.ScreenHeight, 0);
  EXPECT_EQ(Session.ChoiceTexts[134], std::string(65, ' '));
  EXPECT_EQ(Settings.ConfigFolder, Settings.StartFolder);
}
