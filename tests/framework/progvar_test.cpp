// Tests of the error list and the start values of the shared state.
#include "framework/progvar.h"

#include <gtest/gtest.h>

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
