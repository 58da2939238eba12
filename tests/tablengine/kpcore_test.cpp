// Table engine core: error texts and dispatch, work-area selection, regional defaults, code pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/dialogservice.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;

namespace {

class KpCore : public ::testing::Test {
 protected:
  void SetUp() override { KelpieInit(); }
  void TearDown() override {
    KelpieRaiseErrors = true;
    KelpieAutoDispatch = true;
    CloseAll();
    KelpieInit();
  }
};

TEST_F(KpCore, ErrorTexts) {
  EXPECT_EQ(ErrText(0), "");
  EXPECT_EQ(ErrText(7), "Fehler Nr. 7 (Unbekannter Fehler)");
  EXPECT_EQ(ErrText(215), "Fehler Nr. 215 (Keine Datenbank (bzw. kein Arbeitsbereich) geöffnet.)");
  EXPECT_EQ(ErrText(1004), "Fehler Nr. 1004 (Speichermedium voll          )");
  for (int code : {1203, 1250, 1299}) EXPECT_EQ(ErrMessage(code), "Netzwerkfehler");
  EXPECT_EQ(ErrMessage(1300), "File format not supported");
  EXPECT_EQ(ErrMessage(1202).substr(0, 24), "Semaphore-Dateifehler. A");
  // Exit statuses never wrap to 0.
  EXPECT_EQ(ExitStatusForError(212), 212);
  EXPECT_EQ(ExitStatusForError(256), 255);
  EXPECT_EQ(ExitStatusForError(1300), 255);
}

TEST_F(KpCore, DispatchRaisesCallsBackOrLeavesTheCode) {
  try {
    SetError(220, "Kein Arbeitsbereich frei [Select(0)]");
    FAIL() << "no exception";
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 220);
    EXPECT_STREQ(e.what(), "Fehler Nr. 220 (Unzulässiger Parameter)\r\nKein Arbeitsbereich frei [Select(0)]");
  }
  EXPECT_EQ(LastErrorText(), "");  // taken by the dispatcher

  const bool previous = SetErrorDispatch(false);
  EXPECT_TRUE(previous);
  SetError(5, "x [APPEND]");
  EXPECT_EQ(KelpieErrorCode, 5);
  EXPECT_EQ(LastErrorText(), "Fehler Nr. 5 (Dateizugriff verweigert)\r\nx [APPEND]");
  EXPECT_EQ(LastErrorText(), "");
  SetErrorDispatch(true);

  int called = 0;
  KelpieErrorCallback = [&] { ++called; };
  SetError(2, "gone");
  EXPECT_EQ(called, 1);
  EXPECT_EQ(KelpieLastError, 2);
  KelpieErrorCallback = nullptr;
}

TEST_F(KpCore, SelectChecksItsArea) {
  Select(5);
  EXPECT_EQ(CurrentArea, 5);
  EXPECT_THROW(Select(34), EKelpieError);
  EXPECT_EQ(CurrentArea, 5);
  Select(0);
  EXPECT_EQ(CurrentArea, 1);
  // Every area busy: Select(0) has no free slot.
  WorkArea dummy;
  for (int i = 1; i <= MaxSelectableArea; ++i) WorkAreaTable[i] = &dummy;
  try {
    Select(0);
    ADD_FAILURE();
  } catch (const EKelpieError& e) {
    EXPECT_NE(std::string(e.what()).find("Kein Arbeitsbereich frei [Select(0)]"), std::string::npos);
  }
  for (int i = 1; i <= MaxSelectableArea; ++i) WorkAreaTable[i] = nullptr;
  Select(3);
  try {
    RecCount();
    ADD_FAILURE();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 215);
    EXPECT_NE(std::string(e.what()).find("[RecCount]  WorkArea = 3"), std::string::npos);
  }
}

TEST_F(KpCore, RegionalDefaultsAndDateFormat) {
  SetRegionalDefaults(0x0407);  // German
  EXPECT_EQ(DateStyle, 5);
  EXPECT_EQ(DecimalSeparator, ',');
  EXPECT_EQ(ThousandsSeparator, '.');
  SetRegionalDefaults(0x0409);
  EXPECT_EQ(DateStyle, 0);
  SetRegionalDefaults(0x0809);
  EXPECT_EQ(DateStyle, 2);
  SetRegionalDefaults(0x0C0C);
  EXPECT_EQ(DateStyle, 7);
  SetRegionalDefaults(0x0419);
  EXPECT_EQ(DateStyle, 8);
  EXPECT_EQ(ThousandsSeparator, ' ');
  SetDateFormat(12);
  EXPECT_EQ(DateStyle, 0);
  CenturyFlag = true;
  SetDateFormat(1);
  EXPECT_EQ(ShortDateFormat(), "yyyy.MM.dd");
  CenturyFlag = false;
  SetDateFormat(3);
  EXPECT_EQ(ShortDateFormat(), "dd-MM-yy");
}

TEST_F(KpCore, CodePagesAndHeap) {
  // Ä is 0xC4 in Windows-1252 and 0x8E in CP850.
  EXPECT_EQ(AnsiToOemCopy("\xC4rger"), "\x8Erger");
  EXPECT_EQ(OemToAnsiCopy("\x8Erger"), "\xC4rger");
  void* p = nullptr;
  GetMem(p, 801);
  ASSERT_NE(p, nullptr);
  FreeMem(p, 801);
  EXPECT_EQ(p, nullptr);
  EXPECT_THROW(FreeMem(p, 801), EKelpieError);
  EXPECT_EQ(MemAvail(), 2147483647);
}

}  // namespace

namespace {

// Shows the stop message as caption and character count on stderr.
class CountingDialogs : public qern::BatchDialogService {
 public:
  void ShowMessage(const std::string& caption, const std::string& text, qern::MessageKind) override {
    size_t chars = 0;
    for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
    std::fprintf(stderr, "%s|%zu\n", caption.c_str(), chars);
  }
};

TEST(KpCoreDeathTest, WithoutRaisingAnErrorStopsWithANonZeroStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto stop = [](int code) {
    static CountingDialogs dialogs;
    qern::SetDialogService(&dialogs);
    KelpieRaiseErrors = false;
    SetError(code, std::string(300, 'x') + " [GO]");
  };
  EXPECT_EXIT(stop(212), ::testing::ExitedWithCode(212), "Programm angehalten\\.\\|255");
  EXPECT_EXIT(stop(256), ::testing::ExitedWithCode(255), "Programm angehalten");
  EXPECT_EXIT(stop(1300), ::testing::ExitedWithCode(255), "Programm angehalten");
}

TEST(KpCorePlatform, DateStyleFromTheUsersLanguage) {
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  DateStyleFromPlatform();
  EXPECT_EQ(DateStyle, 5);
  EXPECT_TRUE(CenturyFlag);
  EXPECT_EQ(DecimalSeparator, ',');
  setenv("LC_ALL", "en_US.UTF-8", 1);
  DateStyleFromPlatform();
  EXPECT_EQ(DateStyle, 0);
  EXPECT_EQ(DecimalSeparator, '.');
  if (saved) setenv("LC_ALL", keep.c_str(), 1);
  else unsetenv("LC_ALL");
  KelpieInit();
}

}  // namespace
