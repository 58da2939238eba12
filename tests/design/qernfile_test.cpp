// File commands: the save question with its three answers, open/save/save-as round trips, the
// overwrite question, a failed save, the recent-file list and the exit clean-up.
#include "design/qernfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "design/qernaus1.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/dokuconf.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Ident.DataExtension = "qrk";
    SetDefaultDesign();
    InitDrawingInfo();
    InitDocumentLinks();
    Session.CurrentFileFolder = tmp_.Path() + "/";
    Session.CurrentFileName = "";
  }
  std::string Path(const std::string& name) const { return tmp_.File(name); }
  // Saves the current design with the given module as a file of its own.
  void MakeDesignFile(const std::string& name, long double module) {
    Design.NormalModule = module;
    ASSERT_TRUE(WriteDesignFile(Path(name), CurrentDesignContent()));
  }

  test::TempFolder tmp_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(FileCommands, SaveQuestionAnswers) {
  // Named and modified: Yes saves, No lets go, Cancel stops and keeps everything.
  Session.CurrentFileName = "welle";
  Flags.DesignModified = true;
  dialogs_->QueueCancel();
  SaveChangesQuery();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_TRUE(Flags.DesignModified);
  EXPECT_EQ(dialogs_->Last().Text, "Datei speichern (" + Path("welle.qrk") + ") ?");
  EXPECT_FALSE(fs::exists(Path("welle.qrk")));

  dialogs_->QueueNo();
  SaveChangesQuery();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_FALSE(fs::exists(Path("welle.qrk")));

  // Yes saves the design's own file without an overwrite question.
  test::WriteWholeFile(Path("welle.qrk"), "old");
  Flags.DesignModified = true;
  dialogs_->QueueYes();
  SaveChangesQuery();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_EQ(dialogs_->Log.back().Kind, "yesnocancel") << "no overwrite question";
  EXPECT_NE(test::ReadWholeFile(Path("welle.qrk")), "old");

  // Unnamed: Yes discards, No and Cancel stop.
  Session.CurrentFileName = "";
  for (bool yes : {false, true}) {
    Flags.DesignModified = true;
    yes ? dialogs_->QueueYes() : dialogs_->QueueNo();
    SaveChangesQuery();
    EXPECT_EQ(dialogs_->Last().Text, "Bisherige Eingaben verwerfen ?");
    EXPECT_EQ(Flags.AbortFlag, !yes);
    EXPECT_EQ(Flags.DesignModified, !yes);
  }
  // Not modified: no question at all.
  dialogs_->Clear();
  SaveChangesQuery();
  EXPECT_TRUE(dialogs_->Log.empty());
  // Started with a file in archive mode: no question, the edits are let go.
  Flags.StartedWithFile = Flags.ArchiveMode = Flags.DesignModified = true;
  SaveChangesQuery();
  EXPECT_TRUE(dialogs_->Log.empty());
  EXPECT_FALSE(Flags.DesignModified);
}

TEST_F(FileCommands, FailedSaveKeepsTheDesignModifiedAndTheOldFile) {
  MakeDesignFile("welle.qrk", 1.25L);
  const std::string old = test::ReadWholeFile(Path("welle.qrk"));
  Session.CurrentFileName = "welle";
  Design.NormalModule = 3.0L;
  Flags.DesignModified = true;
  // The disk fills up while the file is written.
  DataFile.FailNextWrites(1000);
  dialogs_->QueueYes();
  SaveChangesQuery();
  DataFile.FailNextWrites(0);
  EXPECT_TRUE(Flags.AbortFlag) << "the command that asked stops";
  EXPECT_TRUE(Flags.DesignModified);
  EXPECT_EQ(test::ReadWholeFile(Path("welle.qrk")), old);
  EXPECT_EQ(Session.CurrentFileName, "welle");

  // Save itself: the same.
  Flags.DesignModified = true;
  DataFile.FailNextWrites(1000);
  EXPECT_FALSE(FileSaveCommand());
  DataFile.FailNextWrites(0);
  EXPECT_TRUE(Flags.DesignModified);
  EXPECT_EQ(test::ReadWholeFile(Path("welle.qrk")), old);
}

// Save keeps the access list the user gave the design (the owning group stays without access) and
// takes no entry of its folder's default list.
TEST_F(FileCommands, SaveKeepsTheDesignsAccessList) {
  MakeDesignFile("a.qrk", 2.5L);
  fs::permissions(Path("a.qrk"), fs::perms::owner_read | fs::perms::owner_write);
  if (!test::SetFacl("-m u:daemon:r '" + Path("a.qrk") + "'") ||
      !test::SetFacl("-d -m u:nobody:rw '" + tmp_.Path() + "'"))
    GTEST_SKIP() << "no setfacl or no ACLs here";
  const std::string acl = test::FaclOf(Path("a.qrk"));
  dialogs_->QueueText(Path("a.qrk"));
  ASSERT_TRUE(FileOpenCommand());
  Design.NormalModule = 4.0L;
  Flags.DesignModified = true;
  ASSERT_TRUE(FileSaveCommand());
  EXPECT_EQ(test::FaclOf(Path("a.qrk")), acl);
  EXPECT_EQ(fs::status(Path("a.qrk")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  DesignFileContent back;
  ASSERT_TRUE(ReadDesignFile(Path("a.qrk"), back));
  EXPECT_EQ(back.Record.NormalModule, 4.0L);
}

TEST_F(FileCommands, OpenSaveAndSaveAsRoundTrips) {
  MakeDesignFile("a.qrk", 2.5L);
  SetDefaultDesign();
  dialogs_->QueueText(Path("a.qrk"));
  ASSERT_TRUE(FileOpenCommand());
  EXPECT_EQ(Design.NormalModule, 2.5L);
  EXPECT_EQ(Session.CurrentFileName, "a");
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_EQ(Session.RecentFiles[0], Path("a.qrk"));

  // Save writes the design's own file and leaves the list alone.
  Design.NormalModule = 4.0L;
  Flags.DesignModified = true;
  ASSERT_TRUE(FileSaveCommand());
  EXPECT_FALSE(Flags.DesignModified);
  DesignFileContent back;
  ASSERT_TRUE(ReadDesignFile(Path("a.qrk"), back));
  EXPECT_EQ(back.Record.NormalModule, 4.0L);

  // Save As under a new name puts it on top of the list.
  dialogs_->QueueText(Path("b.qrk"));
  ASSERT_TRUE(FileSaveAsCommand());
  EXPECT_EQ(Session.CurrentFileName, "b");
  EXPECT_EQ(Session.RecentFiles[0], Path("b.qrk"));
  EXPECT_EQ(Session.RecentFiles[1], Path("a.qrk"));

  // Save As onto an existing file asks; No keeps the file and the design's name.
  const std::string a = test::ReadWholeFile(Path("a.qrk"));
  Design.NormalModule = 5.0L;
  dialogs_->QueueText(Path("a.qrk"));
  dialogs_->QueueNo();
  EXPECT_FALSE(FileSaveAsCommand());
  EXPECT_NE(dialogs_->Last().Text.find("existiert bereits"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile(Path("a.qrk")), a);
  EXPECT_EQ(Session.CurrentFileName, "b");
  EXPECT_EQ(Session.CurrentFileFolder, tmp_.Path() + "/");

  // Save of an unnamed design goes through the dialog and keeps the overwrite question.
  Session.CurrentFileName = "";
  dialogs_->QueueText(Path("a.qrk"));
  dialogs_->QueueNo();
  EXPECT_FALSE(FileSaveCommand());
  EXPECT_EQ(test::ReadWholeFile(Path("a.qrk")), a);
}

// A listing saved into another folder that holds a design of the same name: the design keeps its
// folder, so Save writes its own file and the next Open starts where it came from.
TEST_F(FileCommands, ListingSavedElsewhereNeverMovesTheDesign) {
  fs::create_directories(Path("A"));
  fs::create_directories(Path("B"));
  fs::create_directories(Path("tmp"));
  Settings.TempFolder = Path("tmp") + "/";
  Settings.HtmlBrowser.clear();
  MakeDesignFile("B/x.qrk", 1.5L);
  const std::string other = test::ReadWholeFile(Path("B/x.qrk"));
  MakeDesignFile("A/x.qrk", 2.5L);
  SetDefaultDesign();
  dialogs_->QueueText(Path("A/x.qrk"));
  ASSERT_TRUE(FileOpenCommand());
  // "Datei", "TXT Datei" with the device question on, "HTML Datei" without a browser.
  struct Case {
    int Device;
    bool Ask;
    const char* File;
  };
  for (const Case& c : {Case{3, false, "liste.txt"}, Case{6, true, "liste6.txt"}, Case{7, true, "liste.htm"}}) {
    SCOPED_TRACE(c.Device);
    Settings.DefaultTextDevice = c.Device;
    Settings.AskTextDevice = c.Ask;
    if (c.Ask) dialogs_->QueueChoice(c.Device);
    dialogs_->QueueText(Path(std::string("B/") + c.File));
    Flags.AbortFlag = false;
    ListResults(0);
    ASSERT_FALSE(Flags.AbortFlag);
    ASSERT_TRUE(fs::exists(Path(std::string("B/") + c.File)));
    EXPECT_EQ(Session.CurrentFileFolder, Path("A") + "/");
    EXPECT_EQ(Session.CurrentFileName, "x");

    Design.NormalModule = 3.0L + c.Device;
    Flags.DesignModified = true;
    ASSERT_TRUE(FileSaveCommand());
    EXPECT_EQ(test::ReadWholeFile(Path("B/x.qrk")), other);
    DesignFileContent back;
    ASSERT_TRUE(ReadDesignFile(Path("A/x.qrk"), back));
    EXPECT_EQ(back.Record.NormalModule, 3.0L + c.Device);

    dialogs_->QueueCancel();
    EXPECT_FALSE(FileOpenCommand());
    EXPECT_EQ(dialogs_->Last().Kind, "open");
    EXPECT_EQ(dialogs_->Last().File.StartFolder, Path("A") + "/");
  }
}

TEST_F(FileCommands, OpenStopsWhenTheSaveQuestionIsCancelled) {
  MakeDesignFile("a.qrk", 2.5L);
  Design.NormalModule = 1.0L;
  Session.CurrentFileName = "neu";
  Flags.DesignModified = true;
  dialogs_->QueueCancel();
  dialogs_->QueueText(Path("a.qrk"));
  EXPECT_FALSE(FileOpenCommand());
  EXPECT_EQ(Design.NormalModule, 1.0L);
  EXPECT_TRUE(Flags.DesignModified);
  EXPECT_EQ(dialogs_->Replies.size(), 1u) << "no open dialog";
}

TEST_F(FileCommands, RecentListAfterFiveOpens) {
  for (const char* n : {"f1", "f2", "f3", "f4", "f5"}) MakeDesignFile(std::string(n) + ".qrk", 1);
  for (const char* n : {"f1", "f2", "f3", "f4", "f5"}) {
    dialogs_->QueueText(Path(std::string(n) + ".qrk"));
    ASSERT_TRUE(FileOpenCommand());
  }
  EXPECT_EQ(Session.RecentFiles,
            (std::array<std::string, 4>{Path("f5.qrk"), Path("f4.qrk"), Path("f3.qrk"), Path("f2.qrk")}));
  // Opening one again moves it to the top, once.
  ASSERT_TRUE(OpenRecentFile(3));
  EXPECT_EQ(Session.RecentFiles,
            (std::array<std::string, 4>{Path("f3.qrk"), Path("f5.qrk"), Path("f4.qrk"), Path("f2.qrk")}));
  EXPECT_EQ(Session.CurrentFileName, "f3");
  // Names that differ in letter case are two files here.
  MakeDesignFile("F3.qrk", 1);
  Session.CurrentFileName = "F3";
  AddRecentFile("F3");
  EXPECT_EQ(Session.RecentFiles[0], Path("F3.qrk"));
  EXPECT_EQ(Session.RecentFiles[1], Path("f3.qrk"));
  // A missing file is dropped with its message, nothing else changes.
  fs::remove(Path("f5.qrk"));
  Design.NormalModule = 7;
  EXPECT_FALSE(OpenRecentFile(3));
  EXPECT_EQ(dialogs_->Messages().back(), "File " + Path("f5.qrk") + " not found !");
  EXPECT_EQ(Session.RecentFiles,
            (std::array<std::string, 4>{Path("F3.qrk"), Path("f3.qrk"), Path("f4.qrk"), ""}));
  EXPECT_EQ(Design.NormalModule, 7);
}

TEST_F(FileCommands, UnreadableRecentFileKeepsTheDesignAndItsName) {
  MakeDesignFile("good.qrk", 2);
  test::WriteWholeFile(Path("bad.qrk"), "---\nnot a design\n");
  Session.RecentFiles = {Path("bad.qrk"), "", "", ""};
  Session.CurrentFileName = "good";
  Design.NormalModule = 6;
  EXPECT_FALSE(OpenRecentFile(1));
  EXPECT_EQ(Session.CurrentFileName, "good") << "a Save must not write over bad.qrk";
  EXPECT_EQ(Design.NormalModule, 6);
  EXPECT_EQ(Session.RecentFiles[0], Path("bad.qrk"));
}

TEST_F(FileCommands, MenuPathShortening) {
  const std::string f49 = "/home/konstrukteur/auslegungen/kunde/" + std::string(8, 'x') + ".qrk";
  ASSERT_EQ(f49.size(), 49u);
  EXPECT_EQ(ShortenMenuPath(f49), f49);
  const std::string f50 = "/home/konstrukteur/auslegungen/kunde/" + std::string(9, 'x') + ".qrk";
  EXPECT_EQ(ShortenMenuPath(f50), "/home/.../" + std::string(9, 'x') + ".qrk");
  const std::string flat = "/" + std::string(60, 'y') + ".qrk";
  EXPECT_EQ(ShortenMenuPath(flat), flat);
  EXPECT_EQ(ShortenMenuPath("/" + std::string(50, 'a') + "/b.qrk"), "/" + std::string(50, 'a') + "/b.qrk");
  // Characters, not bytes, count.
  std::string umlauts = "/ä/";
  for (int i = 0; i < 40; ++i) umlauts += "ü";
  umlauts += ".qrk";  // 48 characters, 89 bytes
  EXPECT_EQ(ShortenMenuPath(umlauts), umlauts);
}

}  // namespace
}  // namespace qern
