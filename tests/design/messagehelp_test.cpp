// The shipped message-help file explains every message the calculation can produce.
#include <gtest/gtest.h>

#include "design/qerncalc.h"
#include "framework/progvar.h"
#include "framework/uhelperr.h"

using namespace qern;

namespace {

TEST(MessageHelpTest, ShippedFileHoldsEveryCalculationMessage) {
  InitProgramState();
  Settings.PltFolder = QERN_SOURCE_DATA;
  Ident.ProgramName = "qern";
  ASSERT_FALSE(CalculationMessages().empty());
  for (const std::string& message : CalculationMessages()) {
    SCOPED_TRACE(message);
    std::string cause, remedy;
    ASSERT_TRUE(FindErrorHelp(message, cause, remedy));
    EXPECT_GT(cause.size(), 40u);
    EXPECT_GT(remedy.size(), 40u);
  }
}

}  // namespace
