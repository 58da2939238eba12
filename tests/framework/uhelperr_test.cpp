// Message help: lookup by the first 14 characters, cause and remedy, saving edits, the message list
// after a calculation, and the shape of the shipped qern.err.
#include "framework/uhelperr.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/codepage.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

const char* const kErrFile =
    "Fatal  : z = 0 !\n"
    "Zähnezahl fehlt.\n"
    "z eingeben.\n"
    "Warnung: x > 1.5 !\n"
    "x zu groß.\n"
    "x verkleinern.\n"
    "Fehler : cp < 0 !\n"
    "Flanken überdecken sich.\n"
    "x anpassen.\n"
    "Letzte Zeile ohne Ursache\n";

// text with its first from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

class ErrorHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetProgramParams({});
    Settings.PltFolder = dir_;
    Settings.TempFolder = dir_;  // the same folder: saving must still work
    Ident.ProgramName = "QERN";
    WriteErr(kErrFile);
  }
  void TearDown() override {
    SetErrorHelpEditor(nullptr);
    SetProgramParams({});
  }
  std::string ErrPath() const { return dir_ + "/qern.err"; }
  void WriteErr(const std::string& text) { WriteWholeFile(ErrPath(), text); }
  // The file's lines as text (CP850 lines decoded), without CR characters.
  std::string ReadErr() {
    std::string text;
    for (const std::string& line : ReadFileLines(ErrPath()))
      text += DecodeTextLine(line, LegacyCodePage::Oem850) + "\n";
    return text;
  }
  TempFolder temp_;
  const std::string dir_ = temp_.Path();
};

TEST_F(ErrorHelpTest, LookupByFirstFourteenCharacters) {
  std::string cause, remedy;
  // A file in CP850 reads like the UTF-8 one.
  WriteErr(Utf8ToCp850(kErrFile));
  ASSERT_TRUE(FindErrorHelp("Fatal  : z = 0 !", cause, remedy));
  EXPECT_EQ(cause, "Zähnezahl fehlt.");
  WriteErr(kErrFile);
  ASSERT_TRUE(FindErrorHelp("Warnung: x > 1.5   (2) !", cause, remedy));
  EXPECT_EQ(cause, "x zu groß.");
  EXPECT_EQ(remedy, "x verkleinern.");
  EXPECT_TRUE(FindErrorHelp("Warnung: x > 1.5 !", cause, remedy));
  EXPECT_FALSE(FindErrorHelp("Warnung: x < -1.5 !", cause, remedy));
  // A match on the file's last line counts as none.
  EXPECT_FALSE(FindErrorHelp("Letzte Zeile ohne Ursache", cause, remedy));
  EXPECT_TRUE(SameMessageKey("Fatal  : df=0 ! (1)", "Fatal  : df=0 ! (2)"));
  EXPECT_FALSE(SameMessageKey("abc", "abcd"));
  EXPECT_TRUE(SameMessageKey("Ä2345678901234yy", "Ä2345678901234zz"));
}

TEST_F(ErrorHelpTest, CauseAndRemedyOfTheErrorList) {
  AddError("Fehler : cp < 0 !");
  AddError("Fatal  : walcode!");
  std::string s = "alt";
  GetErrorCause(1, s);
  EXPECT_EQ(s, "Flanken überdecken sich.");
  GetErrorRemedy(1, s);
  EXPECT_EQ(s, "x anpassen.");
  GetErrorCause(2, s);
  EXPECT_EQ(s, NoErrorDescription);
  GetErrorRemedy(2, s);
  EXPECT_EQ(s, "");
  fs::remove(ErrPath());
  GetErrorCause(1, s);
  EXPECT_EQ(s, "");
  GetErrorRemedy(1, s);
  EXPECT_EQ(s, "");
}

TEST_F(ErrorHelpTest, ShowErrorHelpReportsMissingFileAndMissingRecord) {
  ScopedScriptedDialogs dialogs;
  AddError("Fatal  : walcode!");
  ShowErrorHelp(1);
  EXPECT_EQ(dialogs->Last().Text, NoErrorDescription);
  EXPECT_FALSE(Flags.AbortFlag);
  fs::remove(ErrPath());
  ShowErrorHelp(1);
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(ErrorHelpTest, EditedRecordIsSavedOnlyAfterYes) {
  ScopedScriptedDialogs dialogs;
  AddError("Fehler : cp < 0 !  (anders)");
  SetErrorHelpEditor([](const std::string& m, const std::string& c, const std::string& r) {
    EXPECT_EQ(m, "Fehler : cp < 0 !  (anders)");
    EXPECT_EQ(c, "Flanken überdecken sich.");
    return ErrorHelpEdit{"neue Ursache", "neue Abhilfe", true};
  });
  dialogs->QueueNo();
  ShowErrorHelp(1);
  EXPECT_EQ(dialogs->Last().Kind, "yesnocancel");
  EXPECT_EQ(ReadErr(), kErrFile);

  dialogs->QueueYes();
  ShowErrorHelp(1);
  EXPECT_EQ(ReadErr(), Replaced(Replaced(kErrFile, "Flanken überdecken sich.", "neue Ursache"),
                                "x anpassen.", "neue Abhilfe"));
  // The saved file is in the file's code page, CP850.
  EXPECT_NE(ReadWholeFile(ErrPath()).find("x zu gro\xE1.\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(ErrPath() + ".$$$"));

  // Unchanged texts ask nothing.
  SetErrorHelpEditor([](const std::string&, const std::string& c, const std::string& r) {
    return ErrorHelpEdit{c, r, false};
  });
  const size_t shown = dialogs->Log.size();
  ShowErrorHelp(1);
  EXPECT_EQ(dialogs->Log.size(), shown);
}

TEST_F(ErrorHelpTest, ShippedFileServesUntilAnEditIsSavedIntoThePltFolder) {
  TempFolder shipped;
  WriteWholeFile(shipped.File("qern.err"), kErrFile);
  SetShippedDataFolder(shipped.Path());
  fs::remove(ErrPath());
  std::string cause, remedy;
  EXPECT_TRUE(FindErrorHelp("Warnung: x > 1.5 !", cause, remedy));
  EXPECT_EQ(cause, "x zu groß.");

  ScopedScriptedDialogs dialogs;
  SaveErrorHelp("Warnung: x > 1.5 !", "eigene Ursache", "eigene Abhilfe");
  SetShippedDataFolder("");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadErr(), Replaced(Replaced(kErrFile, "x zu groß.", "eigene Ursache"), "x verkleinern.",
                                "eigene Abhilfe"));
  EXPECT_EQ(ReadWholeFile(shipped.File("qern.err")), kErrFile) << "the shipped copy stays";
}

TEST_F(ErrorHelpTest, SavingAnUnknownMessageOrIntoABlockedFileChangesNothing) {
  ScopedScriptedDialogs dialogs;
  SaveErrorHelp("Unbekannte Meldung", "u", "a");
  EXPECT_EQ(dialogs->Last().Text, "Unbekannte Meldung not found.");
  EXPECT_EQ(ReadErr(), kErrFile);

  // Line breaks typed into the window would split the record: they become blanks.
  SaveErrorHelp("Fatal  : z = 0 !", "zwei\nZeilen", "eins");
  EXPECT_EQ(ReadErr(),
            Replaced(Replaced(kErrFile, "Zähnezahl fehlt.", "zwei Zeilen"), "z eingeben.", "eins"));
  WriteErr(kErrFile);

  // The disk is full: the write fails, is reported, and the file stays.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &small);
    SaveErrorHelp("Fatal  : z = 0 !", "u", "a");
    const bool said = dialogs->Last().Text ==
                      "Datei " + ErrPath() + " kann nicht gespeichert werden: Diskette/Platte voll !";
    ::_exit(Flags.AbortFlag && said ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadErr(), kErrFile);
}

TEST_F(ErrorHelpTest, LargeFilesAreReadAndEditedWithinLittleMemory) {
  // 24 MB of empty lines (taken whole, a line of 32 bytes or more each), then records: one in
  // UTF-8 with its umlaut in the key, one cut short at the end of the file.
  const size_t emptyLines = size_t{24} << 20;
  {
    std::ofstream out(ErrPath(), std::ios::binary);
    out << std::string(emptyLines, '\n') << "Zähne  : z < 5 !\nZu wenig Zähne.\nz erhöhen.\n"
        << "Warnung: x > 1.5 !\nx zu gro\xE1.\n";
  }
  const size_t size = fs::file_size(ErrPath());
  constexpr size_t Limit = size_t{48} << 20;
  EXPECT_TRUE(RunWithinMemory(Limit, [] {
    std::string cause, remedy;
    return FindErrorHelp("Zähne  : z < 5 ! (2)", cause, remedy) && cause == "Zu wenig Zähne." &&
           remedy == "z erhöhen." && FindErrorHelp("Warnung: x > 1.5 !", cause, remedy) &&
           cause == "x zu groß." && remedy.empty() && !FindErrorHelp("Unbekannt", cause, remedy);
  }));

  // The edit of the last record keeps every line before it; the remedy line it lacked is added.
  ScopedScriptedDialogs dialogs;
  EXPECT_TRUE(RunWithinMemory(Limit, [] {
    SaveErrorHelp("Warnung: x > 1.5 !", "neue Ursache", "neue Abhilfe");
    return !Flags.AbortFlag;
  }));
  const std::string tail =
      "Z\x84hne  : z < 5 !\r\nZu wenig Z\x84hne.\r\nz erh\x94hen.\r\n"
      "Warnung: x > 1.5 !\r\nneue Ursache\r\nneue Abhilfe\r\n";
  EXPECT_EQ(fs::file_size(ErrPath()), 2 * emptyLines + tail.size()) << size;
  std::ifstream in(ErrPath(), std::ios::binary);
  in.seekg(static_cast<std::streamoff>(2 * emptyLines) - 4);
  const std::string end((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(end, "\r\n\r\n" + tail);
  // An unknown message leaves the large file as it is.
  SaveErrorHelp("Unbekannt", "u", "a");
  EXPECT_EQ(dialogs->Last().Text, "Unbekannt not found.");
  EXPECT_EQ(fs::file_size(ErrPath()), 2 * emptyLines + tail.size());
}

// Lines of 50 MB (a message whose key is its head, in CP850; a cause) cost little memory: they are
// matched by their head, a cause is cut where a shown line is, and an edit after them copies them
// byte for byte without holding them.
TEST_F(ErrorHelpTest, LongLinesAreMatchedShownAndKeptWithinLittleMemory) {
  const size_t length = size_t{50} << 20;
  const std::string longMessage = "Lange \x8E Zeile " + std::string(length, 'x');
  const std::string longCause(length, 'c');
  {
    std::ofstream out(ErrPath(), std::ios::binary);
    // And a message in UTF-8 longer than a read block, whose head is cut inside a character.
    std::string umlauts = "x";
    for (int i = 0; i < 500000; ++i) umlauts += "Ä";
    out << longMessage << "\r\nUrsache L\r\nAbhilfe L\r\n"
        << "Zu lang: Ursache !\n" << longCause << "\nAbhilfe K\n"
        << umlauts << "\nUrsache Ä\nAbhilfe Ä\n" << kErrFile;
  }
  const size_t size = fs::file_size(ErrPath());
  constexpr size_t Limit = size_t{16} << 20;
  EXPECT_TRUE(RunWithinMemory(Limit, [&] {
    std::string cause, remedy;
    return FindErrorHelp("Lange Ä Zeile !!", cause, remedy) && cause == "Ursache L" &&
           remedy == "Abhilfe L" && FindErrorHelp("Zu lang: Ursache !", cause, remedy) &&
           cause == longCause.substr(0, TextFile::ShownLineLimit) && remedy == "Abhilfe K" &&
           FindErrorHelp("xÄÄÄÄÄÄÄÄÄÄÄÄÄ !", cause, remedy) && cause == "Ursache Ä" &&
           FindErrorHelp("Warnung: x > 1.5 !", cause, remedy) && cause == "x zu groß.";
  }));

  ScopedScriptedDialogs dialogs;
  EXPECT_TRUE(RunWithinMemory(Limit, [] {
    SaveErrorHelp("Warnung: x > 1.5 !", "neue Ursache", "neue Abhilfe");
    return !Flags.AbortFlag;
  }));
  // CR LF ends for the 16 lines after the long ones (+16; the long ones are kept as stored), four
  // umlauts in CP850 (-4), the new texts in place of the old (-1).
  EXPECT_EQ(fs::file_size(ErrPath()), size + 11);
  std::ifstream in(ErrPath(), std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_TRUE(line == longMessage + "\r") << line.size();
  for (const char* want : {"Ursache L\r", "Abhilfe L\r", "Zu lang: Ursache !\r"}) {
    std::getline(in, line);
    EXPECT_EQ(line, want);
  }
  std::getline(in, line);
  EXPECT_TRUE(line == longCause + "\r") << line.size();
  std::string cause, remedy;
  EXPECT_TRUE(FindErrorHelp("Warnung: x > 1.5 !", cause, remedy));
  EXPECT_EQ(cause, "neue Ursache");
}

TEST_F(ErrorHelpTest, LinesAreMatchedAndKeptWhateverTheirCodingOrLength) {
  // A first line with a byte-order mark, a CP850 line, a line longer than a read block whose
  // key is its start, lines ending in LF only and in CR LF.
  const std::string longLine = "Langer Text   " + std::string(200000, 'x');
  WriteErr("\xEF\xBB\xBF" "Erste Meldung !\r\nUrsache 1\r\nAbhilfe 1\r\n"
           "\x8Enderung da !\nUrsache \x81\nAbhilfe \x94\n" +
           longLine + "\nUrsache 3\nAbhilfe 3\n");
  std::string cause, remedy;
  EXPECT_TRUE(FindErrorHelp("Erste Meldung !", cause, remedy));
  EXPECT_EQ(cause, "Ursache 1");
  EXPECT_TRUE(FindErrorHelp("Änderung da !", cause, remedy));
  EXPECT_EQ(remedy, "Abhilfe ö");
  EXPECT_TRUE(FindErrorHelp("Langer Text   yyy", cause, remedy));
  EXPECT_EQ(cause, "Ursache 3");
  ScopedScriptedDialogs dialogs;
  SaveErrorHelp("Änderung da !", "Ursache ü neu", "Abhilfe 2");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(ErrPath()),
            "Erste Meldung !\r\nUrsache 1\r\nAbhilfe 1\r\n\x8Enderung da !\r\nUrsache \x81 neu\r\n"
            "Abhilfe 2\r\n" + longLine + "\r\nUrsache 3\r\nAbhilfe 3\r\n");
}

TEST_F(ErrorHelpTest, MessageListAfterCalculation) {
  ScopedScriptedDialogs dialogs;
  ShowCalculationMessages();
  EXPECT_EQ(dialogs->Last().Text, "Berechnung erfolgreich ohne Fehlermeldungen");

  AddError("Fatal  : z = 0 !");
  AddError("Warnung: x > 1.5 !");
  AddError("Fehler : cp < 0 !");
  dialogs->Clear();
  Settings.HelpLevel = 1;
  ShowCalculationMessages();  // cancelled at once
  ASSERT_EQ(dialogs->Log.size(), 1u);
  EXPECT_EQ(dialogs->Last().Index, 4);  // "Weiter/zurück..." preselected
  ASSERT_EQ(dialogs->Last().Items.size(), 4u);
  EXPECT_EQ(dialogs->Last().Items[3], "Weiter/zurück...");
  EXPECT_EQ(Session.HelpNumber, 1210);

  dialogs->Clear();
  Settings.HelpLevel = 2;
  ShowCalculationMessages();
  EXPECT_EQ(dialogs->Last().Index, 1);

  // Message 1: its help, then the list again with message 2 selected; "Weiter" ends.
  dialogs->Clear();
  dialogs->QueueChoice(1);
  dialogs->QueueChoice(4);
  ShowCalculationMessages();
  ASSERT_EQ(dialogs->Log.size(), 3u);
  EXPECT_EQ(dialogs->Log[1].Kind, "message");
  EXPECT_NE(dialogs->Log[1].Text.find("Zähnezahl fehlt."), std::string::npos);
  EXPECT_EQ(dialogs->Log[2].Index, 2);

  // The last message: its help, then the list closes.
  dialogs->Clear();
  dialogs->QueueChoice(3);
  ShowCalculationMessages();
  ASSERT_EQ(dialogs->Log.size(), 2u);
  EXPECT_NE(dialogs->Log[1].Text.find("Flanken überdecken sich."), std::string::npos);

  dialogs->Clear();
  SetProgramParams({"design.qrk", "/nogui"});
  ShowCalculationMessages();
  EXPECT_TRUE(dialogs->Log.empty());
}

// Messages of the framework's own guarded routines; the design tests walk the calculation's list.
TEST_F(ErrorHelpTest, ShippedFileExplainsTheMathMessagesAndIsMadeOfThreeLineRecords) {
  Settings.PltFolder = QERN_SOURCE_DATA;
  Ident.ProgramName = "qern";
  for (const char* message : {"Error: ArcCos 1.5", "Fehler in GetArcCenter (dphi = 0 ! "}) {
    SCOPED_TRACE(message);
    std::string cause, remedy;
    ASSERT_TRUE(FindErrorHelp(message, cause, remedy));
    EXPECT_GT(cause.size(), 40u);
    EXPECT_GT(remedy.size(), 40u);
  }
  const auto lines = ReadFileLines(std::string(QERN_SOURCE_DATA) + "/qern.err");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.size() % 3, 0u);
  // Each message line is the first line that carries its key.
  for (size_t i = 0; i < lines.size(); i += 3)
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(SameMessageKey(lines[j], lines[i])) << lines[i] << " / " << lines[j];
}

}  // namespace
