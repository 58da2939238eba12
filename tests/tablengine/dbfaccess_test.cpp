// Print-preset table access: the lock wrappers and the table object, the write check with its
// temporary copy (kept when newer), positioning on empty and short tables, appending under a lock
// another program holds, and the preset table created when it is missing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "framework/progvar.h"
#include "platform/scripteddialogs.h"
#include "support/readers.h"
#include "support/testutil.h"
#include "tablengine/dbfaccess.h"
#include "tablengine/kelpie.h"
#include "tablengine/kplock.h"

using namespace qern;
using namespace qern::kelpie;
using qern::test::ReadWholeFile;
using qern::test::TempFolder;

namespace {

// Runs as an ordinary user while it lives when the tests run as root (root writes everywhere).
class Unprivileged {
 public:
  Unprivileged() {
    if (::geteuid() == 0) active_ = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
  }
  ~Unprivileged() {
    if (active_) {
      [[maybe_unused]] int a = ::setresuid(0, 0, 0);
      [[maybe_unused]] int b = ::setresgid(0, 0, 0);
    }
  }

 private:
  bool active_ = false;
};

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

class PresetTable : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    InitProgramState();
    ::chmod(tmp_.Path().c_str(), 0755);
    dbf_ = tmp_.File("dbf");
    temp_ = tmp_.File("temp");
    preset_ = tmp_.File("preset");
    for (const auto& f : {dbf_, temp_, preset_}) std::filesystem::create_directory(f);
    ::chmod(dbf_.c_str(), 0777);
    ::chmod(temp_.c_str(), 0777);
    Settings.DbfFolder = dbf_ + "/";
    Settings.TempFolder = temp_ + "/";
    Settings.PrintPresetFolder = preset_ + "/";
  }
  void TearDown() override {
    DbfCloseTable();
    ::chmod(dbf_.c_str(), 0755);
    CloseAll();
    KelpieInit();
  }
  // A preset table in the DBF folder with n records named P1..Pn.
  void MakeTable(int n) {
    ASSERT_TRUE(CreatePrintoutTable(dbf_ + "/printout.dbf"));
    DbfUse(dbf_ + "/printout.dbf");
    for (int i = 1; i <= n; ++i) {
      DbfPutStr("name", "P" + std::to_string(i));
      DbfPutFloat("xscale", 0.5 * i);
      DbfAppendRecord();
    }
    DbfCloseTable();
  }
  ScopedScriptedDialogs dialogs_;
  TempFolder tmp_;
  std::string dbf_, temp_, preset_;
};

struct Listener : LockNotifiable {
  std::vector<std::string> Heard;
  void LockNotification(const std::string& op) override {
    Heard.push_back(op + (CurrentWorkArea() && CurrentWorkArea()->LockState == LockTable ? "+" : "-"));
  }
};

TEST_F(PresetTable, LockWrappersNotifyBeforeTheEngineLocks) {
  MakeTable(0);
  Select(1);
  ASSERT_TRUE(UseDbf(dbf_ + "/printout.dbf"));
  Listener l;
  EXPECT_TRUE(LockDatasetTable(l));
  EXPECT_EQ(CurrentWorkArea()->LockState, LockTable);
  UnlockDatasetTable(l);
  EXPECT_EQ(CurrentWorkArea()->LockState, LockNone);
  EXPECT_EQ(l.Heard, (std::vector<std::string>{"ALock-", "UnLock+"}));
}

TEST_F(PresetTable, TableObjectKeepsItsAreaAndReportsErrorsByCode) {
  MakeTable(2);
  DbfDataset t;
  Select(5);
  EXPECT_FALSE(t.SetTableName(dbf_ + "/fehlt"));  // ".DBF" added, no such file
  EXPECT_EQ(t.TableName(), dbf_ + "/fehlt.DBF");
  EXPECT_EQ(t.ErrorCode(), 2);
  EXPECT_EQ(CurrentArea, 5);
  ASSERT_TRUE(t.SetTableName(dbf_ + "/printout.dbf"));
  EXPECT_EQ(CurrentArea, 5);  // the caller's area stays current
  EXPECT_EQ(t.RecCount(), 2u);
  t.Go(2);
  EXPECT_EQ(t.SField(1), "P2");
  EXPECT_EQ(t.SField(2), "1.0000");
  EXPECT_FALSE(t.LField("nichtda"));
  EXPECT_EQ(t.ErrorCode(), 211);
  t.ClearError();
  // Editing writes back under the table lock; Cancel drops the buffer.
  t.PutSField("name", "Größe A4");
  EXPECT_EQ(t.State(), DatasetState::Edit);
  EXPECT_TRUE(t.Post());
  t.PutSField("name", "verworfen");
  t.Cancel();
  t.Go(1);
  t.Go(2);
  EXPECT_EQ(t.SField(1), "Größe A4");
  EXPECT_EQ(t.LastLockOperation(), "UnLock");
}

TEST_F(PresetTable, NavigationInsertAndDeleteThroughTheTableObject) {
  MakeTable(3);
  DbfDataset t;
  ASSERT_TRUE(t.SetTableName(dbf_ + "/printout.dbf"));
  t.Go(2);
  ASSERT_TRUE(t.SetDeleted(true));
  t.SetIgnoreDeleted(true);
  t.First();
  t.Next();
  EXPECT_EQ(t.RecNo(), 3u);  // record 2 is skipped
  t.Prior();
  EXPECT_EQ(t.RecNo(), 1u);
  t.Prior();
  EXPECT_EQ(t.RecNo(), 1u);
  t.Last();
  t.Next();
  EXPECT_TRUE(t.Eof());
  t.Insert();
  t.PutSField("name", "neu");
  EXPECT_EQ(t.State(), DatasetState::Insert);
  ASSERT_TRUE(t.Post());
  EXPECT_EQ(t.RecCount(), 4u);
  EXPECT_EQ(t.RecNo(), 4u);
  EXPECT_EQ(t.SField(1), "neu");
  EXPECT_EQ(t.ErrorCode(), 0);
  // An empty table: positioning does nothing and reports nothing.
  t.Close();
  ASSERT_TRUE(CreatePrintoutTable(dbf_ + "/leer.dbf"));
  ASSERT_TRUE(t.SetTableName(dbf_ + "/leer.dbf"));
  t.Go(1);
  t.Last();
  t.Prior();
  t.Next();
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_FALSE(t.SetDeleted(true));
  EXPECT_EQ(t.ErrorCode(), 0);
}

TEST_F(PresetTable, GoRecordClampsAndNeverPositionsAnEmptyTable) {
  MakeTable(0);
  DbfUse(dbf_ + "/printout.dbf");
  ResetErrors();
  DbfGoRecord(3);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfErrorCode(), 0);
  EXPECT_EQ(Errors.ErrorList[0], "DBF #3 not found.");
  DbfCloseTable();
  MakeTable(3);
  DbfUse(dbf_ + "/printout.dbf");
  ResetErrors();
  DbfGoRecord(0);
  EXPECT_EQ(DbfRecNo(), 1);
  DbfGoRecord(9);
  EXPECT_EQ(DbfRecNo(), 3);
  EXPECT_EQ(DbfFieldStr(1), "P3");
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "DBF #9 not found.");
  EXPECT_FALSE(Flags.AbortFlag);
}

TEST_F(PresetTable, NamesAndMissingTables) {
  MakeTable(1);
  DbfOpenWriteCheck("printout");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfPath(), dbf_ + "/printout.dbf");
  EXPECT_FALSE(DbfOnTemporaryCopy());
  DbfCloseTable();
  std::filesystem::copy_file(dbf_ + "/printout.dbf", dbf_ + "/alt.v2");
  DbfOpenWriteCheck("alt.v2");  // a name with a point keeps it
  EXPECT_EQ(DbfPath(), dbf_ + "/alt.v2");
  EXPECT_EQ(DbfRecCount(), 1);
  DbfCloseTable();
  DbfOpenWriteCheck("fehlt");
  EXPECT_TRUE(Flags.AbortFlag);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("fehlt.dbf"), std::string::npos);
  // Only the tables are left in the folder: the write check's file is gone.
  EXPECT_EQ(Names(dbf_), (std::vector<std::string>{"alt.v2", "printout.dbf"}));
}

// A preset table from DOS or Windows in upper case is the one opened, and none is made beside it;
// two that differ only in case are reported by name.
TEST_F(PresetTable, UpperCaseTableIsFound) {
  MakeTable(1);
  std::filesystem::rename(dbf_ + "/printout.dbf", dbf_ + "/PRINTOUT.DBF");
  OpenPrintoutTable();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfPath(), dbf_ + "/PRINTOUT.DBF");
  EXPECT_EQ(DbfRecCount(), 1);
  DbfCloseTable();
  EXPECT_EQ(Names(dbf_), (std::vector<std::string>{"PRINTOUT.DBF"}));
  std::filesystem::copy_file(dbf_ + "/PRINTOUT.DBF", dbf_ + "/Printout.dbf");
  OpenPrintoutTable();
  EXPECT_TRUE(Flags.AbortFlag);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find(dbf_ + "/PRINTOUT.DBF"), std::string::npos);
  EXPECT_NE(dialogs_->Messages().back().find(dbf_ + "/Printout.dbf"), std::string::npos);
  EXPECT_EQ(Names(dbf_), (std::vector<std::string>{"PRINTOUT.DBF", "Printout.dbf"}));
}

TEST_F(PresetTable, ReadOnlyFolderWorksOnAKeptCopy) {
  MakeTable(1);
  ::chmod((dbf_ + "/printout.dbf").c_str(), 0444);
  ::chmod(dbf_.c_str(), 0555);
  {
    Unprivileged user;
    DbfOpenWriteCheck("printout");
    ASSERT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(DbfPath(), temp_ + "/printout.dbf");
    EXPECT_TRUE(DbfOnTemporaryCopy());
    // The editing view says where the work happens; viewing alone does not.
    bool shown = false;
    SetTableViewer([&](DbfDataset&, const TableViewSpec& spec) {
      shown = spec.Editable && spec.Caption.find(temp_) != std::string::npos;
      return true;
    });
    DbfSetCaptions("Printout", "");
    EXPECT_TRUE(DbfShowTable("", 1));
    EXPECT_TRUE(dialogs_->Messages().empty());
    EXPECT_TRUE(DbfShowTable("", 2));
    EXPECT_TRUE(shown);
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_EQ(dialogs_->Messages()[0], "Kein Schreibrecht für dbf-Ordner !  Bearbeitung im Temporär-Ordner.");
    SetTableViewer({});
    // Appending says where the preset is kept; reopening keeps the newer copy.
    DbfPutStr("name", "Kopie");
    DbfAppendRecord();
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_NE(dialogs_->Messages().back().find(temp_ + "/printout.dbf"), std::string::npos);
    DbfCloseTable();
    DbfOpenWriteCheck("printout");
    EXPECT_EQ(DbfRecCount(), 2);
    DbfCloseTable();
  }
  EXPECT_EQ(Names(dbf_), (std::vector<std::string>{"printout.dbf"}));
  EXPECT_EQ(Names(temp_), (std::vector<std::string>{"printout.dbf"}));
  // A table changed in the DBF folder after the copy was made replaces the copy.
  struct timespec later[2] = {{0, UTIME_OMIT}, {0, 0}};
  later[1].tv_sec = ::time(nullptr) + 60;
  ASSERT_EQ(::utimensat(AT_FDCWD, (dbf_ + "/printout.dbf").c_str(), later, 0), 0);
  {
    Unprivileged user;
    DbfOpenWriteCheck("printout");
    EXPECT_EQ(DbfRecCount(), 1);
    DbfCloseTable();
  }
}

TEST_F(PresetTable, ReadOnlyTableInAWritableFolderIsCopied) {
  MakeTable(1);
  ::chmod((dbf_ + "/printout.dbf").c_str(), 0444);
  Unprivileged user;
  DbfOpenWriteCheck("printout");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(DbfOnTemporaryCopy());
  struct stat st {};
  ASSERT_EQ(::stat((temp_ + "/printout.dbf").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);  // the copy's read-only attribute is cleared
  DbfCloseTable();
}

TEST_F(PresetTable, AppendUnderAForeignLockIsReportedNotDropped) {
  MakeTable(1);
  DbfUse(dbf_ + "/printout.dbf");
  DbfDataset other;  // another program's hold on the table
  ASSERT_TRUE(other.SetTableName(dbf_ + "/printout.dbf"));
  ASSERT_TRUE(other.Lock());
  DbfPutStr("name", "verloren?");
  DbfAppendRecord();
  EXPECT_TRUE(Flags.AbortFlag);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("gesperrt"), std::string::npos);
  other.Unlock();
  Flags.AbortFlag = false;
  DbfAppendRecord();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfRecCount(), 2);
}

TEST_F(PresetTable, MissingPresetTableIsCreated) {
  OpenPrintoutTable();
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfPath(), dbf_ + "/printout.dbf");
  EXPECT_EQ(DbfRecCount(), 0);
  DbfCloseTable();
  const std::string head = ReadWholeFile(dbf_ + "/printout.dbf");
  ASSERT_GE(head.size(), 32u);
  EXPECT_EQ(static_cast<uint8_t>(head[0]), 0x03);
  EXPECT_EQ(static_cast<uint8_t>(head[29]), LanguageAnsi1252);
  EXPECT_EQ((static_cast<uint8_t>(head[8]) | static_cast<uint8_t>(head[9]) << 8), 32 + 9 * 32 + 1);
  // A table in the print-preset folder is used there as it is.
  std::filesystem::copy_file(dbf_ + "/printout.dbf", preset_ + "/printout.dbf");
  OpenPrintoutTable();
  EXPECT_EQ(DbfPath(), preset_ + "/printout.dbf");
  DbfCloseTable();
  // The print-preset folder being the DBF folder, a read-only folder is worked on in a copy.
  Settings.PrintPresetFolder = Settings.DbfFolder;
  ::chmod(dbf_.c_str(), 0555);
  {
    Unprivileged user;
    OpenPrintoutTable();
    EXPECT_TRUE(DbfOnTemporaryCopy());
    DbfCloseTable();
  }
  ::chmod(dbf_.c_str(), 0777);
  std::filesystem::remove(temp_ + "/printout.dbf");
  Settings.PrintPresetFolder = preset_ + "/";
  // With a read-only DBF folder the table is created in the folder for temporary files.
  std::filesystem::remove(dbf_ + "/printout.dbf");
  std::filesystem::remove(preset_ + "/printout.dbf");
  ::chmod(dbf_.c_str(), 0555);
  Unprivileged user;
  OpenPrintoutTable();
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DbfPath(), temp_ + "/printout.dbf");
  EXPECT_TRUE(DbfOnTemporaryCopy());
  DbfCloseTable();
}

// The DBF folder shared by several users with the sticky bit: a "printout.dbf" another user
// planted there as a link to this user's own table, or to a name in this user's folder, is
// neither appended to nor created through; the user is told why.
TEST_F(PresetTable, PresetsNeverGoThroughAnotherUsersLinkInASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  const std::string home = tmp_.File("home"), victim = home + "/printout.dbf";
  std::filesystem::create_directory(home);
  ASSERT_TRUE(CreatePrintoutTable(victim));
  ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(victim.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(dbf_.c_str(), 01777), 0);
  const std::string before = ReadWholeFile(victim);
  std::filesystem::create_symlink(victim, dbf_ + "/printout.dbf");  // root's link
  {
    Unprivileged user;
    OpenPrintoutTable();
    if (!Flags.AbortFlag) {
      DbfPutStr("name", "planted");
      DbfAppendRecord();
    }
    DbfCloseTable();
  }
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(victim), before);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("Verknüpfung eines anderen Benutzers"), std::string::npos)
      << dialogs_->Messages().back();

  std::filesystem::remove(dbf_ + "/printout.dbf");
  std::filesystem::create_symlink(home + "/chosen.dbf", dbf_ + "/printout.dbf");
  {
    Unprivileged user;
    OpenPrintoutTable();
    DbfCloseTable();
  }
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(std::filesystem::exists(home + "/chosen.dbf"));
  EXPECT_NE(dialogs_->Messages().back().find("Verknüpfung eines anderen Benutzers"), std::string::npos)
      << dialogs_->Messages().back();
  EXPECT_TRUE(std::filesystem::is_symlink(dbf_ + "/printout.dbf"));
}

// A new preset's zero origin and false flags are stored as values: another program reads 0 and F, not
// NULL; only the fields never written stay blank.
TEST_F(PresetTable, NewPresetKeepsZeroAndFalse) {
  ASSERT_TRUE(CreatePrintoutTable(dbf_ + "/printout.dbf"));
  DbfUse(dbf_ + "/printout.dbf");
  DbfPutStr("name", "Null");
  DbfPutFloat("xscale", 1);
  DbfPutInt("xorigin", 0);
  DbfPutInt("yorigin", 0);
  DbfPutBool("landscape", false);
  DbfPutBool("monochrom", false);
  DbfPutBool("variable", true);
  DbfAppendRecord();
  DbfCloseTable();
  const std::string out = tmp_.File("read.txt");
  QERN_RUN_READER({"/usr/bin/python3", std::string(QERN_SOURCE_DATA) + "/../tests/readers/printout_dbf.py", "read",
                   dbf_ + "/printout.dbf", out});
  EXPECT_EQ(qern::test::ReadFileLines(out), std::vector<std::string>{"1|0|Null|1.0000|-|0|0|F|F|T|-"});
}

}  // namespace
