// Fuzz target: the strict number reader of every file and dialog (TextToReal), taken directly, and
// the tolerant one of the input fields. A number read is finite, the same with a decimal comma,
// and the value of the standard conversion of the same text; a text of zeros is 0.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/textfile.h"
#include "framework/utilstr.h"

using namespace qern;

namespace {

// Only digits, one separator and an exponent, with a mantissa of zeros alone.
bool ZeroSpelling(const std::string& t) {
  bool digit = false;
  for (char c : t) {
    if (c == 'e' || c == 'E') break;
    if (c >= '1' && c <= '9') return false;
    digit = digit || c == '0';
  }
  return digit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  long double x = 7;
  const bool read = TextToReal(s, x);
  if (!read) {
    if (x != 7) std::abort();  // a refused text leaves the value alone
  } else {
    if (!std::isfinite(x)) std::abort();
    const std::string t(BlankTrimmed(s));
    if (ZeroSpelling(t) && x != 0) std::abort();
    // The same text with a point in place of the comma, without "+": the standard conversion
    // gives the same value wherever it takes the text at all.
    std::string plain = t.substr(!t.empty() && t[0] == '+' ? 1 : 0);
    if (const size_t comma = plain.find(','); comma != std::string::npos) plain[comma] = '.';
    long double standard = 0;
    const char* last = plain.data() + plain.size();
    const auto [ptr, ec] = std::from_chars(plain.data(), last, standard);
    if (ec == std::errc() && ptr == last && standard != x) std::abort();
    long double withPoint = 7;
    if (!TextToReal(plain, withPoint) || withPoint != x) std::abort();
  }
  const long double tolerant = StrToReal(s);
  if (!std::isfinite(tolerant)) std::abort();
  return 0;
}
