// Fuzz target: the code-page conversions of text-file lines and the character helpers, with the
// promise of the CP850 line writer: every line reads back as it was written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/utf8.h"
#include "platform/codepage.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  const std::string line = DecodeTextLine(s, LegacyCodePage::Oem850);
  (void)DecodeTextLine(s, LegacyCodePage::Ansi1252);
  if (!IsValidUtf8(line)) std::abort();
  // A decoded line without its byte-order mark and line breaks written and read again.
  if (line.find('\n') == std::string::npos && line.rfind("\xEF\xBB\xBF", 0) != 0 &&
      DecodeTextLine(EncodeCp850Line(line), LegacyCodePage::Oem850) != line)
    std::abort();
  (void)Utf8ToCp850(s);
  (void)Utf8ToCp1252(s);
  (void)Cp1252ToUtf8(s);
  (void)Utf8Length(line);
  (void)Utf8Cut(line, 14);
  (void)Utf8Copy(line, 3, 5);
  (void)Utf8PadRight(line, 20);
  return 0;
}
