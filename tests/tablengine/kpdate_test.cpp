// Table engine dates, strings and file helpers.
#include <gtest/gtest.h>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;

namespace {

class KpDate : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    CenturyPivot = 1956;
    SetDateFormat(0);
    CenturyFlag = false;
  }
  void TearDown() override { KelpieInit(); }
};

TEST_F(KpDate, LeapYearsAndPivot) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_EQ(CompleteYear(30), 2030);
  EXPECT_EQ(CompleteYear(60), 1960);
  EXPECT_EQ(CompleteYear(56), 1956);
  EXPECT_EQ(CenturyDigits(30), "20");
}

TEST_F(KpDate, JulianDays) {
  EXPECT_EQ(DateToJulian("00010101"), 1721426);
  EXPECT_EQ(DateToJulian("        "), 0);
  EXPECT_EQ(DateToJulian("20230229"), 0);
  EXPECT_EQ(JulianOf(9999, 12, 31), JulianLast);
  EXPECT_EQ(JulianToDate(JulianLast), "        ");
  EXPECT_EQ(JulianToDate(JulianFirst), "        ");
  for (const char* d : {"00010101", "19000228", "19000301", "20000229", "20261207", "99991230"})
    EXPECT_EQ(JulianToDate(DateToJulian(d)), d);
  EXPECT_EQ(DateTextToJulian("12/07/2026"), DateToJulian("20261207"));
  SetDateFormat(5);
  EXPECT_EQ(JDateToStr(DateToJulian("20261207")), "07.12.26");
  CenturyFlag = true;
  EXPECT_EQ(JDateToStr(DateToJulian("20261207")), "07.12.2026");
  EXPECT_EQ(JDateToStr(0), "  .  .    ");
  SetDateFormat(1);
  EXPECT_EQ(JDateToStr(DateToJulian("20261207")), "2026.12.07");
  SetDateFormat(8);
  EXPECT_EQ(JDateToStr(DateToJulian("20261207")), "07/12/2026");
}

TEST_F(KpDate, DateTextsAndNames) {
  EXPECT_EQ(DayOfWeekNo("01/01/2000"), 7);
  // Two-digit years are completed before the weekday is computed.
  EXPECT_EQ(DayOfWeekNo("01/01/00"), DayOfWeekNo("01/01/2000"));
  EXPECT_EQ(DayOfWeekNo("12/07/26"), 2);  // a Monday
  EXPECT_EQ(DayOfWeekNo("12/07/1926"), 3);
  std::string d = "1/2/3";
  NormalizeDate(d);
  EXPECT_EQ(d, "01/02/03");
  CenturyFlag = true;
  d = "1/2/30";
  NormalizeDate(d);
  EXPECT_EQ(d, "01/02/2030");
  d = " / / ";
  NormalizeDate(d);
  EXPECT_EQ(d, "  /  /    ");
  SetDateFormat(5);
  d = "7.12.2026";
  NormalizeDate(d);
  EXPECT_EQ(d, "12/07/2026");
  DateToStyle(d);
  EXPECT_EQ(d, "07.12.2026");
  EXPECT_EQ(CDow("07.12.2026"), "Montag    ");
  EXPECT_EQ(CMonth("07.03.2026"), "M\xE4rz     ");
  EXPECT_EQ(CDow("  .  .    "), std::string(10, ' '));
  EXPECT_EQ(MonthOfDate("07.12.2026"), 12);
  EXPECT_EQ(DayOfDate("07.12.2026"), 7);
  EXPECT_EQ(YearOfDate("07.12.26"), 2026);  // completed: the century flag is set
  EXPECT_EQ(BlankDate(3), "  -  -    ");
  CenturyFlag = false;
  EXPECT_EQ(BlankDate(0), "  /  /  ");
  EXPECT_EQ(DayName(1, 8).size(), 11u);
  EXPECT_EQ(MonthName(9, 6), "Septiembre");
  EXPECT_EQ(DayName(4, 4), "Mercredi");
}

TEST_F(KpDate, NamesInUtf8ReadTheirOwnCodePage) {
  // Russian names are code page 866 bytes inside the engine; the other languages Windows-1252.
  EXPECT_EQ(DayNameUtf8(2, 8), "Понедельник");
  EXPECT_EQ(DayNameUtf8(4, 8), "Среда      ");  // the slot keeps 11 characters
  EXPECT_EQ(MonthNameUtf8(5, 8), "Май     ");
  EXPECT_EQ(MonthNameUtf8(12, 8), "Декабрь ");
  EXPECT_EQ(MonthNameUtf8(3, 5), "März     ");
  EXPECT_EQ(MonthNameUtf8(8, 4), "Août     ");
  SetDateFormat(8);
  EXPECT_EQ(CDowUtf8("07.12.2026"), "Понедельник");
  EXPECT_EQ(CMonthUtf8("07.03.2026"), "Март    ");
  EXPECT_EQ(CDowUtf8("  .  .  "), std::string(10, ' '));
  SetDateFormat(5);
  EXPECT_EQ(CDowUtf8("07.12.2026"), "Montag    ");
}

TEST_F(KpDate, Strings) {
  EXPECT_EQ(Soundex("ROBERT"), "R163");
  EXPECT_EQ(Soundex("RUPERT"), "R163");
  EXPECT_EQ(Soundex("robert"), "R163");
  EXPECT_EQ(Soundex("A"), "A000");
  EXPECT_EQ(Soundex("Tymczak"), "T522");
  EXPECT_EQ(AllTrim("\t a b \r\n"), "a b");
  EXPECT_EQ(LongToStr(42, 5), "   42");
  // Options leave the name's case alone: paths are case-sensitive here.
  std::string name = "/data/Kunden/kunden.ndx unique";
  EXPECT_TRUE(StripKeyword("UNIQUE", name));
  EXPECT_EQ(name, "/data/Kunden/kunden.ndx");
  name = "UNIQUEX.NDX";
  EXPECT_FALSE(StripKeyword("UNIQUE", name));
  name = "/data/unique/k.ndx Unique";  // a folder of that name is no option
  EXPECT_TRUE(StripKeyword("unique", name));
  EXPECT_EQ(name, "/data/unique/k.ndx");
  EXPECT_EQ(UpperString("gr\xF6\xDF" "e"), "GR\xD6\xDF" "E");
}

TEST_F(KpDate, FileNames) {
  EXPECT_EQ(DefaultExtension("/a/b/kunden", "DBF"), "/a/b/kunden.DBF");
  EXPECT_EQ(DefaultExtension("/a/b/kunden.dbf", "DBF"), "/a/b/kunden.dbf");
  EXPECT_EQ(ForceExtension("/a/b.c/kunden.dbf", "NDX"), "/a/b.c/kunden.NDX");
  std::string dir, base, ext;
  SplitPath("/a/b/kunden.dbf", dir, base, ext);
  EXPECT_EQ(dir, "/a/b/");
  EXPECT_EQ(base, "kunden");
  EXPECT_EQ(ext, ".dbf");
  EXPECT_EQ(BaseName("x.y.z"), "x.y");
  qern::test::TempFolder tmp;
  for (const char* n : {"a1.tmp", "a2.tmp", "b.txt"}) qern::test::WriteWholeFile(tmp.File(n), "x");
  EXPECT_TRUE(FileExist(tmp.File("a1.tmp")));
  EXPECT_TRUE(FileDatedToday(tmp.File("a1.tmp")));
  EraseFiles(tmp.File("a?.tmp"));
  EXPECT_FALSE(FileExist(tmp.File("a1.tmp")));
  EXPECT_TRUE(FileExist(tmp.File("b.txt")));
  EXPECT_THROW(EraseFiles(tmp.File("missing.txt")), EKelpieError);
  EXPECT_GT(DiskFreeKB(tmp.Path()), 0u);
  std::string t;
  ASSERT_TRUE(UniqueFilename(t));
  EXPECT_NE(BaseName(t).find("KPP"), std::string::npos);
  EraseFiles(t);
}

TEST_F(KpDate, BcdKeysSortLikeTheirValues) {
  const double values[] = {-1e20, -12.5, -0.001, 0, 1e-5, 0.5, 1, 9.99, 10, 12345.678, 1e30};
  for (size_t i = 0; i < std::size(values); ++i)
    for (size_t j = 0; j < std::size(values); ++j)
      EXPECT_EQ(CompareBCD(DoubleToBCD(values[i]), DoubleToBCD(values[j])), i < j ? -1 : i > j ? 1 : 0)
          << values[i] << " " << values[j];
}

TEST_F(KpDate, LinkedLists) {
  ListNode* list = nullptr;
  for (uint32_t s : {4u, 8u, 16u}) ASSERT_NE(LinkedAlloc(list, s), nullptr);
  std::vector<uint32_t> sizes;
  for (ListNode* n = ListNext(list, nullptr); n; n = ListNext(list, n)) sizes.push_back(n->Size);
  EXPECT_EQ(sizes, (std::vector<uint32_t>{4, 8, 16}));
  EXPECT_EQ(list->Data()[15], 0);
  ListRemoveLast(list);
  EXPECT_EQ(list->Size, 8u);
  ListFreeAll(list);
  EXPECT_EQ(list, nullptr);
}

}  // namespace
