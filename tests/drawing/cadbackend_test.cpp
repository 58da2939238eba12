// Texts and names on their way into CAD files: printable ASCII as it is, control characters as
// blanks, other characters in Windows-1252, wherever in the text they stand.
#include <gtest/gtest.h>

#include <string>

#include "drawing/cadbackend.h"
#include "framework/progvar.h"

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

}  // namespace
}  // namespace qern::test
