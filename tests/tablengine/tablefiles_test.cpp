// The engine's files by name and through links: names in another case (ASCII and Latin-1 letters
// of UTF-8 names) are one table, memo or index; a link of another user is never written through.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::ReadWholeFile;
using qern::test::TempFolder;
using qern::test::WriteWholeFile;
namespace fs = std::filesystem;

namespace {

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

class TableFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieStart();
    dispatch_ = SetErrorDispatch(false);
    KelpieErrorCode = 0;
  }
  void TearDown() override {
    CloseAll();
    SetErrorDispatch(dispatch_);
    KelpieInit();
  }
  std::vector<std::string> Names(const std::string& folder = "") const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.empty() ? tmp_.Path() : folder))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // A table of the given fields with one record holding text in its first field.
  bool MakeTable(const std::string& name, const std::vector<FieldSpec>& fields, const std::string& text,
                 uint8_t version = 0) {
    if (!CreateDbf(name, fields, false, version)) return false;
    Select(1);
    if (!UseDbf(name) || !ALock()) return false;
    ClearRecord();
    PutFieldStr(1, text);
    Append();
    Unlock();
    CloseAll();
    return KelpieErrorCode == 0;
  }
  std::string FirstText(const std::string& name) {
    Select(1);
    if (!UseDbf(name)) return "(error " + std::to_string(KelpieErrorCode) + ")";
    GoTop();
    const std::string text = AllTrim(FieldStr(1));
    CloseAll();
    return text;
  }

  // A shared folder with the sticky bit and a folder of nobody's own (the user the tests act as),
  // in a test folder that nobody may enter.
  void SharedFolders() {
    ASSERT_EQ(::chmod(tmp_.Path().c_str(), 0755), 0);
    fs::create_directory(shared_);
    fs::create_directory(own_);
    ASSERT_EQ(::chmod(shared_.c_str(), 01777), 0);
    ASSERT_EQ(::chown(own_.c_str(), Nobody, NoGroup), 0);
  }

  TempFolder tmp_;
  const std::string shared_ = tmp_.File("shared"), own_ = tmp_.File("own");
  bool dispatch_ = true;
};

// CREATE of k.dbf beside K.DBF makes no second table: the table (and its memo) of the other case
// is made anew, and every spelling opens it.
TEST_F(TableFiles, CreatingInAnotherCaseMakesTheOneTableAnew) {
  ASSERT_TRUE(MakeTable(tmp_.File("K.DBF"), {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, "old", 0x83));
  ASSERT_EQ(Names(), (std::vector<std::string>{"K.DBF", "K.DBT"}));
  ASSERT_TRUE(MakeTable(tmp_.File("k.dbf"), {{"WORD", 'C', 12, 0}, {"NOTE", 'M', 10, 0}}, "new", 0x83));
  EXPECT_EQ(Names(), (std::vector<std::string>{"K.DBF", "K.DBT"}));
  for (const char* spelling : {"K.DBF", "k.Dbf", "k.dbf"}) {
    SCOPED_TRACE(spelling);
    EXPECT_EQ(FirstText(tmp_.File(spelling)), "new");
  }
  // A memo alone in another case is made anew too, beside a table of the exact name.
  fs::rename(tmp_.File("K.DBT"), tmp_.File("k.dbt"));
  ASSERT_TRUE(CreateMemoFile(tmp_.File("K.DBF"), 0x83, 512, "test"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"K.DBF", "k.dbt"}));
  // Two tables of the name in other cases: the creation names them and makes no third.
  WriteWholeFile(tmp_.File("k.DBF"), ReadWholeFile(tmp_.File("K.DBF")));
  EXPECT_FALSE(CreateDbf(tmp_.File("k.dbf"), {{"NAME", 'C', 10, 0}}));
  EXPECT_EQ(KelpieErrorCode, 2);
  EXPECT_FALSE(fs::exists(tmp_.File("k.dbf")));
}

// UTF-8 names: the Latin-1 capitals match their small letters as the ASCII ones do; the
// multiplication and division signs stay apart, and so do letters of other lengths.
TEST_F(TableFiles, LatinOneLettersOfNamesMatchInEitherCase) {
  ASSERT_TRUE(MakeTable(tmp_.File("MÜLLER.DBF"), {{"NAME", 'C', 10, 0}}, "müller"));
  EXPECT_EQ(FirstText(tmp_.File("müller.dbf")), "müller");
  EXPECT_EQ(FirstText(tmp_.File("Müller.Dbf")), "müller");
  ASSERT_TRUE(MakeTable(tmp_.File("ÀÉÎÕÞ.DBF"), {{"NAME", 'C', 10, 0}}, "accents"));
  EXPECT_EQ(FirstText(tmp_.File("àéîõþ.dbf")), "accents");
  ASSERT_TRUE(MakeTable(tmp_.File("A×B.DBF"), {{"NAME", 'C', 10, 0}}, "times"));
  EXPECT_EQ(FirstText(tmp_.File("a÷b.dbf")), "(error 2)");
  // ß and ÿ have no capital in the range; "SS" is no spelling of ß.
  ASSERT_TRUE(MakeTable(tmp_.File("straße.dbf"), {{"NAME", 'C', 10, 0}}, "street"));
  EXPECT_EQ(FirstText(tmp_.File("STRASSE.DBF")), "(error 2)");
  EXPECT_EQ(FirstText(tmp_.File("STRAßE.DBF")), "street");
  // Creating in the other case makes no second table here either.
  ASSERT_TRUE(MakeTable(tmp_.File("müller.dbf"), {{"NAME", 'C', 10, 0}}, "again"));
  EXPECT_FALSE(fs::exists(tmp_.File("müller.dbf")));
  EXPECT_EQ(FirstText(tmp_.File("MÜLLER.DBF")), "again");
}

// SET INDEX TO names on an upper-case table with both names.ndx and NAMES.NDX: the typed name
// is exact, only the extension the engine adds takes the table's case.
TEST_F(TableFiles, ATypedIndexNameCountsAsExact) {
  ASSERT_TRUE(MakeTable(tmp_.File("T.DBF"), {{"NAME", 'C', 10, 0}}, "b"));
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("T.DBF")));
  MakeIndex("NAMES", "NAME");
  WriteWholeFile(tmp_.File("names.ndx"), ReadWholeFile(tmp_.File("NAMES.NDX")));
  ASSERT_EQ(Names(), (std::vector<std::string>{"NAMES.NDX", "T.DBF", "names.ndx"}));
  EXPECT_TRUE(SetIndexTo("names", 1));
  EXPECT_EQ(OrderFileName(1), tmp_.File("names.ndx"));
  EXPECT_TRUE(SetIndexTo("NAMES", 1));
  EXPECT_EQ(OrderFileName(1), tmp_.File("NAMES.NDX"));
  // A spelling that is neither: both are meant, an error naming them.
  EXPECT_FALSE(SetIndexTo("Names", 1));
  EXPECT_EQ(KelpieErrorCode, 2);
  EXPECT_NE(KelpieErrorText.find(tmp_.File("names.ndx")), std::string::npos) << KelpieErrorText;
  // Made anew by its typed name, the exact one is replaced, the other kept.
  const std::string upper = ReadWholeFile(tmp_.File("NAMES.NDX"));
  KelpieErrorCode = 0;
  MakeIndex("names", "NAME");
  EXPECT_EQ(KelpieErrorCode, 0);
  EXPECT_EQ(ReadWholeFile(tmp_.File("NAMES.NDX")), upper);
  EXPECT_EQ(Names(), (std::vector<std::string>{"NAMES.NDX", "T.DBF", "names.ndx"}));
}

// An index made anew in place of one that is there keeps its rights: mode and access list.
TEST_F(TableFiles, AnIndexMadeAnewKeepsTheRightsOfTheOldOne) {
  ASSERT_TRUE(MakeTable(tmp_.File("t.dbf"), {{"NAME", 'C', 10, 0}}, "b"));
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("t.dbf")));
  MakeIndex("n", "NAME");
  CloseAll();
  const std::string index = tmp_.File("n.ndx");
  ASSERT_EQ(::chmod(index.c_str(), 0600), 0);
  if (!qern::test::SetFacl("-m u:daemon:r '" + index + "'")) GTEST_SKIP() << "no setfacl or no ACLs here";
  const std::string acl = qern::test::FaclOf(index);
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    Select(1);
    ASSERT_TRUE(UseDbf(tmp_.File("t.dbf")));
    KelpieErrorCode = 0;
    MakeIndex("n", "NAME");
    EXPECT_EQ(KelpieErrorCode, 0);
    CloseAll();
    EXPECT_EQ(qern::test::FaclOf(index), acl);
    struct stat st {};
    ASSERT_EQ(::stat(index.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("t.dbf")));
  EXPECT_TRUE(SetIndexTo("n", 1));
  // No working name is left beside it.
  for (const std::string& n : Names()) EXPECT_NE(n[0], '.') << n;
}

// A packed memo file takes the rights of the one it replaces.
TEST_F(TableFiles, APackedMemoKeepsTheRightsOfTheOldOne) {
  ASSERT_TRUE(MakeTable(tmp_.File("m.dbf"), {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, "a", 0x83));
  const std::string memo = tmp_.File("m.dbt");
  ASSERT_EQ(::chmod(memo.c_str(), 0600), 0);
  if (!qern::test::SetFacl("-m u:daemon:r '" + memo + "'")) GTEST_SKIP() << "no setfacl or no ACLs here";
  const std::string acl = qern::test::FaclOf(memo);
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("m.dbf"), "", true));
  GoTop();
  PutMemoField(2, std::string(700, 'x'));
  Replace();
  PutMemoField(2, "kurz");
  Replace();
  KelpieErrorCode = 0;
  PackMemofile();
  EXPECT_EQ(KelpieErrorCode, 0);
  EXPECT_EQ(MemoFieldText(2), "kurz");
  CloseAll();
  EXPECT_EQ(qern::test::FaclOf(memo), acl);
  struct stat st {};
  ASSERT_EQ(::stat(memo.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Runs body in a child process as nobody (root only), on a fresh engine that raises no errors;
// true when body returned true.
bool AsNobody(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const gid_t groups[] = {NoGroup};
    if (::setgroups(1, groups) != 0 || ::setgid(NoGroup) != 0 || ::setuid(Nobody) != 0) ::_exit(3);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In a shared folder with the sticky bit, links another user planted at a table's, a memo's or an
// index's name lead to the running user's own files: nothing is written through them, the open or
// creation is refused with a message naming the link; the user's own link is followed.
TEST_F(TableFiles, AnotherUsersLinkInAStickyFolderIsNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  SharedFolders();
  const std::string& shared = shared_;
  const std::string& own = own_;
  // The victim's own printout table, and links (root's) to it and to names in the victim's folder.
  const std::string victim = own + "/printout.dbf";
  ASSERT_TRUE(MakeTable(victim, {{"NAME", 'C', 25, 0}}, "mine"));
  ASSERT_EQ(::chown(victim.c_str(), Nobody, NoGroup), 0);
  const std::string before = ReadWholeFile(victim);
  fs::create_symlink(victim, shared + "/printout.dbf");
  fs::create_symlink(own + "/planted.dbf", shared + "/new.dbf");
  fs::create_symlink(own + "/planted.ndx", shared + "/x.ndx");
  fs::create_symlink(victim, shared + "/m.dbt");
  const auto refused = [] {
    return KelpieErrorText.find("Verknüpfung eines anderen Benutzers") != std::string::npos;
  };
  EXPECT_TRUE(AsNobody([&] {
    Select(1);
    return !UseDbf(shared + "/printout.dbf") && refused();
  }));
  EXPECT_TRUE(AsNobody([&] { return !CreateDbf(shared + "/new.dbf", {{"NAME", 'C', 10, 0}}) && refused(); }));
  EXPECT_TRUE(AsNobody([&] { return !CreateMemoFile(shared + "/m.dbf", 0x83, 512, "test") && refused(); }));
  EXPECT_TRUE(AsNobody([&] {
    if (!CreateDbf(shared + "/x.dbf", {{"NAME", 'C', 10, 0}})) return false;
    Select(1);
    if (!UseDbf(shared + "/x.dbf", "", true)) return false;
    MakeIndex("x", "NAME");
    return refused();
  }));
  EXPECT_EQ(ReadWholeFile(victim), before);
  EXPECT_FALSE(fs::exists(own + "/planted.dbf"));
  EXPECT_FALSE(fs::exists(own + "/planted.ndx"));
  for (const char* link : {"printout.dbf", "new.dbf", "x.ndx", "m.dbt"})
    EXPECT_TRUE(fs::is_symlink(shared + "/" + link)) << link;

  // The user's own link leads to the user's table, and the record goes there.
  EXPECT_TRUE(AsNobody([&] {
    fs::create_symlink(victim, shared + "/mine.dbf");
    Select(1);
    if (!UseDbf(shared + "/mine.dbf") || !ALock()) return false;
    ClearRecord();
    PutFieldStr(1, "through my link");
    Append();
    Unlock();
    CloseAll();
    return KelpieErrorCode == 0;
  }));
  EXPECT_NE(ReadWholeFile(victim).find("through my link"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(shared + "/mine.dbf"));
}

// Outside a shared folder another user's link is not written through either: an existing table
// behind it is only read, a new table or index replaces the link.
TEST_F(TableFiles, AnotherUsersLinkElsewhereIsReadOrReplacedNeverWritten) {
  const std::string victim = tmp_.File("victim.dbf");
  ASSERT_TRUE(MakeTable(victim, {{"NAME", 'C', 10, 0}}, "kept"));
  const std::string before = ReadWholeFile(victim);
  fs::create_symlink(victim, tmp_.File("link.dbf"));
  if (!qern::test::PlantForeignLink(victim, tmp_.File("foreign.dbf")))
    GTEST_SKIP() << "another user's link can only be planted by root";
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("foreign.dbf")));
  GoTop();
  EXPECT_EQ(AllTrim(FieldStr(1)), "kept");
  // Opened for reading only: the lock for the append is refused.
  if (ALock()) {
    ClearRecord();
    PutFieldStr(1, "written");
    Append();
    Unlock();
  }
  CloseAll();
  EXPECT_EQ(ReadWholeFile(victim), before);
  ASSERT_TRUE(CreateDbf(tmp_.File("foreign.dbf"), {{"WORD", 'C', 8, 0}}));
  EXPECT_FALSE(fs::is_symlink(tmp_.File("foreign.dbf")));
  EXPECT_EQ(ReadWholeFile(victim), before);
  // The own link is followed: made anew, the table behind it is.
  ASSERT_TRUE(MakeTable(tmp_.File("link.dbf"), {{"WORD", 'C', 8, 0}}, "anew"));
  EXPECT_TRUE(fs::is_symlink(tmp_.File("link.dbf")));
  EXPECT_EQ(FirstText(victim), "anew");
}

}  // namespace

namespace {

// A table NAME C 10 with the records and its index by NAME, both of the given owner and mode.
void TableWithIndex(const std::string& table, const std::string& index, const std::vector<std::string>& names,
                    uid_t owner, mode_t mode) {
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 10, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table, "", true));
  for (const std::string& n : names) {
    ClearRecord();
    PutFieldStr(1, n);
    Append();
  }
  MakeIndex(index, "NAME");
  CloseAll();
  for (const std::string& f : {table, index}) {
    ASSERT_EQ(::chown(f.c_str(), owner, owner == 0 ? 0 : NoGroup), 0);
    ASSERT_EQ(::chmod(f.c_str(), mode), 0);
  }
}

// In area 1 of a fresh engine: opens table with index and appends the names under the table lock;
// 0 when all went well, else the engine's error code.
int AppendWithIndex(const std::string& table, const std::string& index, const std::vector<std::string>& names) {
  Select(1);
  if (!UseDbf(table) || !SetIndexTo(index, 1)) return KelpieErrorCode ? KelpieErrorCode : -1;
  for (const std::string& n : names) {
    if (!ALock()) return KelpieErrorCode ? KelpieErrorCode : -1;
    ClearRecord();
    PutFieldStr(1, n);
    Append();
    Unlock();
    if (KelpieErrorCode != 0) return KelpieErrorCode;
  }
  return 0;
}

}  // namespace

// In a shared folder with the sticky bit, a link of another user at a table's lock file, at an index
// named by SET INDEX, or at the memo of a table being made leads to the running user's own index:
// the command is refused with the engine's message, nothing is written through the link and nothing
// is left behind. The user's own link at a lock file is followed and kept.
TEST_F(TableFiles, AnotherUsersLinkAtALockFileAnIndexOrANewMemoIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  SharedFolders();
  // The victim's index of another table, and its table in the shared folder.
  TableWithIndex(own_ + "/v.dbf", own_ + "/v.ndx", {"v1", "v2"}, Nobody, 0644);
  TableWithIndex(shared_ + "/t.dbf", shared_ + "/t.ndx", {"t1"}, Nobody, 0644);
  const std::string victim = own_ + "/v.ndx", before = ReadWholeFile(victim);
  struct Case {
    const char* what;
    const char* link;  // planted in the shared folder, leading to the victim's index
    std::function<int()> command;  // the engine's error code
    const char* leftOut;           // a file that must not be there afterwards
  };
  const std::vector<Case> cases = {
      {"lock file", "t.@S@", [&] { return AppendWithIndex(shared_ + "/t.dbf", "t", {"a1", "a2"}); }, ""},
      {"SET INDEX", "j.ndx", [&] { return AppendWithIndex(shared_ + "/t.dbf", "j", {"b1", "b2"}); }, ""},
      {"memo of a new table", "m.dbt",
       [&] {
         return CreateDbf(shared_ + "/m.dbf", {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, false, 0x83)
                    ? 0 : KelpieErrorCode;
       },
       "m.dbf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_symlink(victim, shared_ + "/" + c.link);
    EXPECT_TRUE(AsNobody([&] {
      const int code = c.command();
      CloseAll();
      return code != 0 && KelpieErrorText.find("Verknüpfung eines anderen Benutzers") != std::string::npos;
    }));
    EXPECT_TRUE(ReadWholeFile(victim) == before) << "written through the link";
    EXPECT_TRUE(fs::is_symlink(shared_ + "/" + c.link));
    if (*c.leftOut) {
      EXPECT_FALSE(fs::exists(shared_ + "/" + c.leftOut));
    }
    fs::remove(shared_ + "/" + c.link);
    WriteWholeFile(victim, before);
  }
  // The user's own link at the lock file: the lock file is made where it leads, and the link stays.
  EXPECT_TRUE(AsNobody([&] {
    fs::create_symlink(own_ + "/t.lock", shared_ + "/t.@S@");
    if (AppendWithIndex(shared_ + "/t.dbf", "t", {"c1"}) != 0 || !fs::exists(own_ + "/t.lock")) return false;
    CloseAll();
    return KelpieErrorCode == 0 && fs::is_symlink(shared_ + "/t.@S@");
  }));
  EXPECT_FALSE(fs::exists(own_ + "/t.lock"));  // erased by the last to leave
  fs::remove(shared_ + "/t.@S@");  // (nobody's link: root would be refused)
  Select(1);
  ASSERT_TRUE(UseDbf(shared_ + "/t.dbf"));
  ASSERT_TRUE(SetIndexTo("t", 1));
  EXPECT_EQ(RecCount(), 2u);
  EXPECT_TRUE(Seek("c1"));
}

// Table and index that both users may write: the second user takes the lock file that the first
// one made (it has the table's rights) and appends with keys while the first has them open. A lock
// file left behind that the second user cannot delete is named with its owner in the refusal.
TEST_F(TableFiles, BothUsersOfAWritableTableShareItsLockFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  SharedFolders();
  const std::string table = shared_ + "/t.dbf", lock = SemaphoreFileName(table);
  TableWithIndex(table, shared_ + "/t.ndx", {"a0"}, 0, 0666);
  ASSERT_EQ(::chown(table.c_str(), 0, 100), 0);  // a group the table shares with its users
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  ASSERT_TRUE(SetIndexTo("t", 1));
  struct stat st {};
  ASSERT_EQ(::stat(lock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  EXPECT_EQ(st.st_gid, 100u);
  EXPECT_TRUE(AsNobody([&] {
    const int code = AppendWithIndex(table, "t", {"b0", "b1"});
    CloseAll();
    return code == 0 && KelpieErrorCode == 0;
  }));
  ASSERT_TRUE(Seek("b1"));
  EXPECT_EQ(RecNo(), 3u);
  CloseAll();
  EXPECT_FALSE(fs::exists(lock));
  // Left by a killed reader: root's lock file, writable by all, with one reader counted.
  WriteWholeFile(lock, std::string("\x01\x01\x00\x00", 4));
  ASSERT_EQ(::chmod(lock.c_str(), 0666), 0);
  EXPECT_TRUE(AsNobody([&] {
    SemaphoreWaitLimit = 1;
    const int code = AppendWithIndex(table, "t", {"c0"});
    return code == 1202 && KelpieErrorText.find("root") != std::string::npos;
  }));
}
