// Menu words: the five words the main window uses in each language, unknown languages, and the
// German block after another language.
#include "design/vmenuglem.h"

#include <gtest/gtest.h>

namespace qern {
namespace {

struct Row {
  int language;
  const char *nabe, *verzahnung, *welle, *zahn, *zahnform;
};
const Row kRows[] = {
    {1, "&Nabe", "&Verzahnung", "&Welle", "Zahn", "Zahn&form"},
    {2, "&Hub", "&Toothing", "Sh&aft", "Tooth", "&Tooth Profile"},
    {6, "ANEL DE ARRASTE", "DENTADO", "EIXO", "DENTE", "PERFIL DO DENTE"},
    {7, "&Bucsa", "&Dintare", "Arbore", "Dinte", "&Forma dintelui"},
    {8, "허브(&H)", "Toothing(&T)", "축(&a)", "이", "이형상(&T)"},
    {12, "毂", "齿连接", "轴", "齿", "齿轮廓"},
};

// The 64 words as one array (the set holds nothing but them).
const std::string* Words(const MenuWordSet& set) { return reinterpret_cast<const std::string*>(&set); }
static_assert(sizeof(MenuWordSet) == MenuWordCount * sizeof(std::string));

class MenuWordsTest : public ::testing::Test {
 protected:
  void TearDown() override { MenuWords = MenuWordSet{}; }
};

TEST_F(MenuWordsTest, StartValuesAreGermanWithTheirOwnTwoDifferences) {
  EXPECT_EQ(MenuWords.Verzahnung, "&Verzahnung ");
  EXPECT_EQ(MenuWords.Zahn, "&Zahn");
  EXPECT_EQ(MenuWords.Berechnung, "&Berechnung");
  EXPECT_EQ(MenuWords.SpecificSliding, "Specific &Sliding");
}

TEST_F(MenuWordsTest, EachLanguageSetsAllWords) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.language);
    SetMenuWords(1);
    SetMenuWords(r.language);
    EXPECT_EQ(MenuWords.Nabe, r.nabe);
    EXPECT_EQ(MenuWords.Verzahnung, r.verzahnung);
    EXPECT_EQ(MenuWords.Welle, r.welle);
    EXPECT_EQ(MenuWords.Zahn, r.zahn);
    EXPECT_EQ(MenuWords.Zahnform, r.zahnform);
    for (int i = 0; i < MenuWordCount; ++i) EXPECT_FALSE(Words(MenuWords)[i].empty()) << i;
  }
  // Korean replaces every German word: no row of the table is missing.
  SetMenuWords(1);
  const MenuWordSet german = MenuWords;
  SetMenuWords(8);
  for (int i = 0; i < MenuWordCount; ++i) EXPECT_NE(Words(MenuWords)[i], Words(german)[i]) << i;
}

TEST_F(MenuWordsTest, OtherNumbersKeepTheWordsAndGermanComesBack) {
  SetMenuWords(2);
  for (int n : {0, 3, 4, 5, 9, 10, 11, 13}) {
    SetMenuWords(n);
    EXPECT_EQ(MenuWords.Welle, "Sh&aft") << n;
  }
  SetMenuWords(1);
  EXPECT_EQ(MenuWords.Zahn, "Zahn");
  EXPECT_EQ(MenuWords.Welle, "&Welle");
}

}  // namespace
}  // namespace qern
