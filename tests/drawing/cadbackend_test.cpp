// Texts and names on their way into CAD files: printable ASCII as it is, control characters as
// blanks, other characters in Windows-1252, wherever in the text they stand.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "drawing/cadbackend.h"
#include "framework/progvar.h"
#include "support/testutil.h"

namespace qern::test {
namespace {

TEST(CadFileTextTest, EveryByteAtEveryPlace) {
  InitProgramState();
  const std::string plain = "Zahnwelle 01 (m=1.25) ~{}";  // longer than three steps of eight
  EXPECT_EQ(CadFileText(plain), plain);
  EXPECT_EQ(CadFileValue(plain), plain);
  for (size_t at = 0; at < plain.size(); ++at) {
    for (int c = 0; c < 0x80; ++c) {
      std::string s = plain;
      s[at] = static_cast<char>(c);
      std::string want = s;
      if (c < 0x20 || c == 0x7F) want[at] = ' ';
      EXPECT_EQ(CadFileText(s), want) << "byte " << c << " at " << at;
      EXPECT_EQ(CadFileValue(s), want) << "byte " << c << " at " << at;
    }
    // A character beyond ASCII in each place: its Windows-1252 byte.
    const std::string s = plain.substr(0, at) + "ä" + plain.substr(at + 1);
    const std::string want = plain.substr(0, at) + "\xE4" + plain.substr(at + 1);
    EXPECT_EQ(CadFileText(s), want) << "at " << at;
    EXPECT_EQ(CadFileValue(s), want) << "at " << at;
  }
  EXPECT_EQ(CadFileText(""), "");
  EXPECT_EQ(CadFileText("a\tb\r\n"), "a b  ");
}

// An output file written in pieces as it grows gives the bytes written at once, under its name only
// when complete; a failed or dropped one leaves nothing. Committed into memory (the benchmarks'
// road), the same bytes reach no file.
TEST(CadOutputFileTest, PiecesMemoryAndFailures) {
  InitProgramState();
  TempFolder tmp;
  const std::string name = tmp.File("out.txt");
  auto files = [&tmp] {
    int n = 0;
    for (const auto& f : std::filesystem::directory_iterator(tmp.Path())) n += f.is_regular_file();
    return n;
  };
  {
    CadOutputFile f;
    f.Open(name);
    f.Write("abc");
    ASSERT_TRUE(f.Spill());
    EXPECT_EQ(files(), 1);  // the working file, not yet under the name
    EXPECT_FALSE(std::filesystem::exists(name));
    f.Write("def");
    f.Tail() = "ghi";
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(ReadWholeFile(name), "abcdefghi");
  }
  {
    CadOutputFile f;
    f.Open(name);
    f.Write("xyz");
    f.Spill();
    f.Fail(5);  // EIO
    EXPECT_FALSE(f.Commit());
    EXPECT_EQ(ReadWholeFile(name), "abcdefghi");
    EXPECT_EQ(files(), 1);
  }
  {
    CadOutputFile f;
    f.Open(name);
    f.Write("dropped");
    f.Spill();
  }
  EXPECT_EQ(ReadWholeFile(name), "abcdefghi");
  EXPECT_EQ(files(), 1);

  CadOutputFile::CommitToMemory(true);
  for (bool spilled : {false, true}) {
    CadOutputFile f;
    f.Open(tmp.File("memory.txt"));
    f.Write("12");
    if (spilled) f.Spill();
    f.Write("34");
    f.Tail() = "5";
    EXPECT_TRUE(f.Commit());
    EXPECT_EQ(CadOutputFile::InMemory(), "12345");
  }
  CadOutputFile::CommitToMemory(false);
  EXPECT_EQ(files(), 1);
}

// Pieces spilled as they come (the file gets whole pages, the rest waits) and a section appended
// from another file give the bytes in their order, whatever the pieces' sizes and the file's page
// at each seam, copied by the system (a file beside) or through memory (a file elsewhere).
TEST(CadOutputFileTest, PiecesOfAnySizeAndAStagedSection) {
  InitProgramState();
  TempFolder tmp;
  const std::string name = tmp.File("out.igs");
  const size_t sizes[] = {1, 4095, 1, 4096, 4097, 70001, 300000, 0, 8191};
  const size_t staged[] = {0, 1, 4095, (size_t{1} << 20) + 5};
  for (bool beside : {true, false}) {
    for (size_t s : staged) {
      std::string want;
      CadOutputFile f;
      f.Open(name);
      char c = 'a';
      for (size_t n : sizes) {
        c = static_cast<char>(c == 'z' ? 'a' : c + 1);
        const std::string piece(n, c);
        f.Write(piece);
        want += piece;
        ASSERT_TRUE(f.Spill());
      }
      // (A folder without files without names takes the other road twice.)
      int fd = beside ? open(tmp.Path().c_str(), O_TMPFILE | O_RDWR, 0600) : -1;
      if (fd < 0) fd = memfd_create("staged", 0);
      ASSERT_GE(fd, 0);
      std::string section(s, ' ');
      for (size_t i = 0; i < s; ++i) section[i] = static_cast<char>('0' + i * 7 % 10);
      ASSERT_EQ(write(fd, section.data(), section.size()), static_cast<ssize_t>(s));
      ASSERT_TRUE(f.SpillFrom(fd));
      close(fd);
      f.Write("end");
      f.Tail() = "tail";
      ASSERT_TRUE(f.Commit());
      EXPECT_EQ(ReadWholeFile(name), want + section + "endtail")
          << "staged " << s << (beside ? " beside" : " elsewhere");
    }
  }
}

}  // namespace
}  // namespace qern::test
