// Tests of the dialog routines through the scripted dialog service: choices, questions, the
// number-input loops, the overwrite question and the German I/O texts.
#include "framework/dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using qern::test::ReadWholeFile;
using qern::test::WriteWholeFile;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
  }
  void FillChoices(int n) {
    for (int i = 0; i < n; ++i) Session.ChoiceTexts[i] = "Punkt " + std::to_string(i + 1);
  }
  // The abort flag, cleared for the next step.
  static bool Aborted() { return std::exchange(Flags.AbortFlag, false); }
  // Texts (or captions) of everything of one kind shown so far.
  Strings Shown(const std::string& kind, bool captions = false) {
    Strings out;
    for (const auto& s : ui->Log)
      if (s.Kind == kind) out.push_back(captions ? s.Caption : s.Text);
    return out;
  }

  ScopedScriptedDialogs ui;
  qern::test::TempFolder tmp;
  const std::string dir = tmp.Path();
};

TEST_F(DialogsTest, SelectChoiceListOrRadioPreselectionAndCancel) {
  FillChoices(8);
  int index = 3;
  ui->QueueChoice(5);
  SelectChoice("Titel", 7, index);
  EXPECT_FALSE(ui->Last().AsList);  // fewer than 8 items: radio group
  EXPECT_EQ(ui->Last().Items.size(), 7u);
  EXPECT_EQ(ui->Last().Index, 3);
  EXPECT_EQ(index, 5);

  for (int outside : {0, 9}) {  // outside 1..n preselects item 1; Enter chooses it
    index = outside;
    ui->QueueOk();
    SelectChoice("Titel", 8, index);
    EXPECT_TRUE(ui->Last().AsList);
    EXPECT_EQ(ui->Last().Index, 1);
    EXPECT_EQ(index, 1);
  }
  EXPECT_FALSE(Aborted());

  index = 2;
  ui->QueueCancel();
  SelectChoice("Titel", 3, index);
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(Aborted());
}

TEST_F(DialogsTest, QuestionsPresetsAndCancel) {
  bool answer = false;
  ui->QueueYes();
  AskYesNo("Speichern?", answer);
  EXPECT_FALSE(ui->Last().PresetYes);
  EXPECT_TRUE(answer);
  ui->QueueCancel();
  AskYesNo("Weiter?", answer);
  EXPECT_TRUE(answer);
  EXPECT_TRUE(Aborted());

  char c = 'n';
  ui->QueueOk();
  AskYesNoChar("Frage", c);
  EXPECT_FALSE(ui->Last().PresetYes);  // "N" in any case presets "&Nein"
  EXPECT_EQ(c, 'N');
  c = 'J';
  ui->QueueNo();
  AskYesNoChar("Frage", c);
  EXPECT_TRUE(ui->Last().PresetYes);
  EXPECT_EQ(c, 'N');

  // ConfirmBox: No leaves the flag, Cancel sets it, only Yes is true.
  Ident.Banner = "QERN   Test";
  ui->QueueNo();
  EXPECT_FALSE(ConfirmBox("Sicher?"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ui->Last().Caption, "QERN   Test");
  ui->QueueYes();
  EXPECT_TRUE(ConfirmBox("Sicher?"));
  ui->QueueCancel();
  EXPECT_FALSE(Confirm("Sicher?"));
  EXPECT_TRUE(Aborted());

  std::string s = "alt";
  ui->QueueCancel();
  InputString("Name", 20, s);
  EXPECT_EQ(s, "alt");
  EXPECT_TRUE(Aborted());
}

TEST_F(DialogsTest, InputRealRangeAndInvalidTextLoop) {
  long double x = 20;
  for (const char* t : {"90", "abc", "45,5"}) ui->QueueText(t);
  InputRealInRange("Winkel", x, 5, 89);
  EXPECT_DOUBLE_EQ(static_cast<double>(x), 45.5);
  EXPECT_EQ(ui->Messages(), (Strings{"Gültiger Wertebereich: 5 .. 89 !", "Ungültige Eingabe \"abc\" !"}));
  EXPECT_EQ(Shown("message", true), (Strings{"Fehler : ", "Fehler : "}));
  EXPECT_EQ(ui->Beeps, 2);
  // Shown presets: the start value, the refused 90 again, then the start value after "abc".
  EXPECT_EQ(Shown("input"), (Strings{"20", "90", "20"}));
  EXPECT_EQ(ui->Log.front().Index, 30);  // at most 30 characters

  x = 12.3456789L;
  ui->QueueOk();  // text unchanged: the value keeps its full precision
  InputRealInRange("Wert", x, 0, 100);
  EXPECT_EQ(x, 12.3456789L);

  ui->QueueText("50");
  ui->QueueCancel();
  x = 20;
  InputRealInRange("Wert", x, 0, 10);  // a cancel after a refusal keeps the value of the call
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(x, 20);
}

TEST_F(DialogsTest, InputNumberSwapsBounds) {
  int32_t n = 5;
  for (const char* t : {"0", "x1", "10"}) ui->QueueText(t);
  InputNumberInRange("Zähnezahl", n, 10, 1);
  EXPECT_EQ(n, 10);
  EXPECT_EQ(ui->Messages(), (Strings{"Gültiger Wertebereich: 1 .. 10 !", "Ungültige Eingabe \"x1\" !"}));
  EXPECT_EQ(ui->Log.front().Index, 12);

  uint16_t w = 3;
  ui->QueueText("7");
  InputWordInRange("Anzahl", w, 1, 9);
  EXPECT_EQ(w, 7);
}

TEST_F(DialogsTest, MessageKindsAndErrorBoxesFlag) {
  ShowMessageKind("a", KindHelp);
  InfoMessage("b");
  ShowMessageBox("c");
  ErrorBox("d");
  Flags.ErrorBoxesEnabled = false;
  ErrorMessage("silent");
  ErrorBox("loud");
  Flags.ErrorBoxesEnabled = true;
  ArchiveModeMessage();
  CheckFileAccess(dir + "/Zahnwelle Ж Ω ✓.qrk");  // texts stay UTF-8: no code page on the way
  const Strings captions = Shown("message", true);
  ASSERT_EQ(captions.size(), 7u);
  EXPECT_EQ(Strings(captions.begin(), captions.begin() + 4),
            (Strings{"Hilfe", "Meldung:", "Meldung:", "Fehler : "}));
  EXPECT_EQ(ui->Messages(),
            (Strings{"a", "b", "c", "d", "loud", "File- und User- Befehle sind im Archivierungsmodus nicht möglich.",
                     "Datei " + dir + "/Zahnwelle Ж Ω ✓.qrk nicht gefunden oder kein Zugriffsrecht !"}));
}

TEST_F(DialogsTest, ApplicationTitleAndHelpButtons) {
  Ident.Banner = "QERN   Serration";
  Ident.DataExtension = "qrk";
  Session.CurrentFileName = "welle";
  std::string title;
  SetWaitCursor();
  UpdateApplicationTitle(title);
  EXPECT_EQ(title, "QERN   Serration  -  welle.qrk");
  EXPECT_EQ(ui->Title, title);
  EXPECT_EQ(ui->Cursor, CursorShape::Arrow);
  Session.CurrentFileName = "";
  UpdateApplicationTitle(title);
  EXPECT_EQ(title, "QERN   Serration");

  std::vector<std::pair<int, int>> shown;
  SetHelpEntryViewer([&](int number, int mode) {
    shown.push_back({number, mode});
    Flags.AbortFlag = true;  // e.g. a missing help file
  });
  SetHelpContext(1234);
  FillChoices(2);
  int index = 1;
  ui->HelpPresses = {1, 2};
  ui->QueueChoice(2);
  SelectChoice("T", 2, index);
  SetHelpEntryViewer(nullptr);
  EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{1234, 1}, {1234, 2}}));
  EXPECT_FALSE(Flags.AbortFlag);  // cleared after the help, the dialog stays
  EXPECT_EQ(index, 2);
}

TEST_F(DialogsTest, CheckOutputFileNameDotsAndOverwrite) {
  CheckOutputFileName(dir + "/a.b.txt");
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(ui->Last().Text, dir + "/a.b.txt not allowed (too many dots)!");

  // A folder with points does not count, only the file name.
  fs::create_directory(dir + "/v1.2");
  CheckOutputFileName(dir + "/v1.2/neu.txt");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_FALSE(fs::exists(dir + "/v1.2/neu.txt"));  // the test file is gone again

  const std::string name = dir + "/welle.qrk";
  WriteWholeFile(name, "Inhalt");
  ui->QueueNo();
  CheckOutputFileName(name);
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(ui->Last().Text, name + " existiert bereits.   überschreiben ?");
  EXPECT_EQ(Session.HelpNumber, 3055);

  // Yes: the name passes and the existing file is still there, unchanged, until it is written.
  ui->QueueYes();
  CheckOutputFileName(name);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(name), "Inhalt");

  // No question for "aktuell" names or while AskOverwrite is clear.
  ui->Clear();
  WriteWholeFile(dir + "/aktuell.qrk", "x");
  CheckOutputFileName(dir + "/aktuell.qrk");
  Flags.AskOverwrite = false;
  CheckOutputFileName(name);
  EXPECT_TRUE(ui->Log.empty());
  EXPECT_FALSE(Flags.AbortFlag);

  CheckOutputFileName(dir + "/fehlt/neu.txt");  // a folder that does not exist
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ui->Last().Text,
            "Ungültiger Dateiname \"" + dir + "/fehlt/neu.txt\": Ordner " + dir + "/fehlt/ existiert nicht !");
}

// The name test opens nothing of that name: a pipe is refused at once instead of blocking, a link
// passes (the output replaces it) and its target stays untouched; names up to the file system's
// limit pass.
TEST_F(DialogsTest, CheckOutputFileNameOpensNothingOfThatName) {
  Flags.AskOverwrite = false;
  ASSERT_EQ(::mkfifo((dir + "/pipe.txt").c_str(), 0600), 0);
  CheckOutputFileName(dir + "/pipe.txt");
  EXPECT_TRUE(Aborted());
  const std::string victim = dir + "/victim";
  WriteWholeFile(victim, "precious");
  QERN_PLANT_FOREIGN_LINK(victim, dir + "/link.txt");
  CheckOutputFileName(dir + "/link.txt");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  CheckOutputFileName(dir + "/" + std::string(251, 'a') + ".txt");
  EXPECT_FALSE(Flags.AbortFlag);
  CheckOutputFileName(dir + "/" + std::string(252, 'a') + ".txt");
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 3);
}

TEST_F(DialogsTest, RewriteWithRetryOffersRetryAndCancel) {
  Ident.Banner = "QERN";
  TextFile f;
  f.Assign(dir + "/fehlt/x.cfg");
  ui->QueueRetry();
  ui->QueueCancel();
  RewriteWithRetry(f);
  EXPECT_TRUE(Aborted());
  const std::string said =
      "Datei " + dir + "/fehlt/x.cfg kann nicht geschrieben werden: Ordner " + dir + "/fehlt/ existiert nicht !";
  EXPECT_EQ(Shown("retry"), (Strings{said, said}));

  // A batch run gives up at once.
  SetDialogService(nullptr);
  RewriteWithRetry(f);
  EXPECT_TRUE(Aborted());
  SetDialogService(&ui.Service);

  f.Assign(dir + "/ok.cfg");
  RewriteWithRetry(f);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(f.IsOpen());
  f.Close();
}

TEST_F(DialogsTest, CheckedWritesAndTheirTexts) {
  TextFile f;
  f.Assign(dir + "/out.txt");
  RewriteChecked(f);
  ASSERT_FALSE(Flags.AbortFlag);
  WriteLineChecked(f, "eins");
  f.FailNextWrites(1);
  WriteLineChecked(f, "zwei");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ui->Last().Text, "Diskette/Platte voll");
  WriteLineChecked(f, "drei");  // skipped while the flag is set
  CloseFileChecked(f);
  EXPECT_EQ(ReadWholeFile(dir + "/out.txt"), "eins\r\n");
  EXPECT_EQ(WriteErrorText(100), "Lesefehler");
  EXPECT_EQ(WriteErrorText(106), "Falsches numerisches Format");
  EXPECT_EQ(WriteErrorText(5), "Fehler bei Zugriff auf Diskette/Platte");

  Flags.AbortFlag = false;
  CloseFileChecked(f);  // not open any more
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(ui->Last().Text, "Fehler beim Schließen einer Datei");

  f.Assign(dir + "/fehlt/out.txt");
  RewriteChecked(f);
  EXPECT_TRUE(Aborted());
  // The file that could not be made is named, with the reason, as a failed save names it.
  EXPECT_EQ(ui->Last().Text,
            "Datei " + dir + "/fehlt/out.txt nicht geschrieben: Ordner " + dir + "/fehlt/ existiert nicht !");

  CheckFileAccess("  " + dir + "/nix.txt ");
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(ui->Last().Text, "Datei " + dir + "/nix.txt nicht gefunden oder kein Zugriffsrecht !");
}

TEST_F(DialogsTest, SaveAsDialogRoads) {
  Ident.DataExtension = "qrk";
  Session.CurrentFileFolder = dir;
  Session.CurrentFileName = "alt";
  std::string full;
  ui->QueueText(dir + "/v1.2/nabe.txt");
  fs::create_directory(dir + "/v1.2");
  SaveAsDialog("", full);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(full, dir + "/v1.2/nabe.qrk");
  EXPECT_EQ(Session.CurrentFileFolder, dir + "/v1.2/");
  EXPECT_EQ(Session.CurrentFileName, "nabe");
  const auto save = ui->Log.front();
  EXPECT_EQ(save.Kind, "save");
  EXPECT_EQ(save.File.StartFolder, dir + "/");
  EXPECT_EQ(save.Items, Strings{"*.qrk"});

  ui->QueueCancel();
  SaveAsDialog("", full);
  EXPECT_TRUE(Aborted());

  SaveAsDialog("welle", full);
  EXPECT_EQ(full, dir + "/v1.2/welle.qrk");
  SaveAsDialog(dir + "/liste.txt", full);
  EXPECT_EQ(full, dir + "/liste.txt");
  // The folder's point is no extension: the design extension is still added.
  SaveAsDialog(dir + "/v1.2/welle", full);
  EXPECT_EQ(full, dir + "/v1.2/welle.qrk");

  Flags.ArchiveMode = true;
  Flags.StartedWithFile = true;
  SaveAsDialog("welle", full);
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(DialogsTest, FileAndFolderPickers) {
  std::string folder = dir;
  std::string name;
  ui->QueueText(dir + "/sub/teil.edi");
  SelectFileDialog(4, folder, "*.edi", name);
  EXPECT_EQ(folder, dir + "/sub/");
  EXPECT_EQ(name, "teil.edi");
  EXPECT_EQ(Ident.DataExtension, "edi");
  ui->QueueCancel();
  SelectFileDialog(5, folder, "*.edi", name);
  EXPECT_EQ(name, "");
  EXPECT_TRUE(Aborted());

  std::string program;
  ui->QueueCancel();
  BrowseFile("/usr/bin/editor", "*", program);
  EXPECT_EQ(program, "/usr/bin/editor");
  EXPECT_TRUE(Aborted());
  EXPECT_EQ(ui->Last().File.StartFolder, "/usr/bin/");

  std::string chosen;
  ui->QueueCancel();
  SelectFolderDialog(dir, chosen);
  EXPECT_EQ(chosen, dir);
  EXPECT_FALSE(Flags.AbortFlag);
  ui->QueueText(dir + "/cad");
  SelectFolderDialog(dir, chosen);
  EXPECT_EQ(chosen, dir + "/cad/");
}

TEST_F(DialogsTest, ShowChoiceListShowsTwentyTwoLines) {
  Ident.ProductName = "QERN";
  FillChoices(30);
  ShowChoiceList();
  EXPECT_EQ(ui->Last().Kind, "lines");
  EXPECT_EQ(ui->Last().Caption, "QERN");
  ASSERT_EQ(ui->Last().Items.size(), 22u);
  EXPECT_EQ(ui->Last().Items[21], "Punkt 22");
}

}  // namespace

// Documents opened with the desktop's program: a missing file names the folder searched, an
// existing one that nothing opens says that no program is set up for its kind.
TEST_F(DialogsTest, DocumentsThatCannotBeOpenedSayWhy) {
  std::vector<std::string> opened;
  bool desktopOpens = false;
  SetDesktopHooks({[&](const std::string& file) {
                     opened.push_back(file);
                     return desktopOpens;
                   },
                   nullptr});
  WriteWholeFile(dir + "/rt.pdf", "%PDF-1.4\n");
  WriteWholeFile(dir + "/LIESMICH", "text\n");
  EXPECT_FALSE(OpenDocumentWithDesktop(dir + "/rt.pdf"));
  EXPECT_TRUE(Aborted());
  EXPECT_FALSE(OpenDocumentWithDesktop(dir + "/LIESMICH", "Handbuch"));
  EXPECT_TRUE(Aborted());
  EXPECT_FALSE(OpenDocumentWithDesktop(dir + "/fehlt.pdf", "Handbuch"));
  EXPECT_TRUE(Aborted());
  {
    // A name without a folder is looked for in the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    EXPECT_FALSE(OpenDocumentWithDesktop("qern.pdf", "Handbuch"));
    fs::current_path(previous);
    EXPECT_TRUE(Aborted());
  }
  EXPECT_EQ(ui->Messages(),
            (Strings{"Kein Programm für .pdf-Dateien eingerichtet: " + dir + "/rt.pdf",
                     "Kein Programm für Dateien ohne Erweiterung eingerichtet: " + dir + "/LIESMICH",
                     "Handbuch fehlt.pdf im Ordner " + dir + " nicht gefunden !",
                     "Handbuch qern.pdf im Ordner " + dir + " nicht gefunden !"}));
  // Only files that are there are handed to the desktop.
  EXPECT_EQ(opened, (Strings{dir + "/rt.pdf", dir + "/LIESMICH"}));
  // Opened: no message.
  desktopOpens = true;
  EXPECT_TRUE(OpenDocumentWithDesktop(dir + "/rt.pdf"));
  EXPECT_FALSE(Aborted());
  EXPECT_EQ(ui->Messages().size(), 4u);
  // The message alone, for a file another road failed to open.
  ReportDocumentNotOpened(dir + "/rt.pdf");
  ReportDocumentNotOpened(dir + "/weg/rt.pdf");
  EXPECT_TRUE(Aborted());
  const Strings messages = ui->Messages();
  EXPECT_EQ(Strings(messages.begin() + 4, messages.end()),
            (Strings{"Kein Programm für .pdf-Dateien eingerichtet: " + dir + "/rt.pdf",
                     "Datei rt.pdf im Ordner " + dir + "/weg nicht gefunden !"}));
  SetDesktopHooks({});
}
