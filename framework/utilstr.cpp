// Number and text formatting: FloatStrFixed and its wrappers, strict text-to-number
// conversion, string helpers by character, and the display/output text conversions.
#include "framework/utilstr.h"

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#include "framework/progvar.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "platform/codepage.h"  // BoxDrawingToAscii

namespace qern {

// ---- Decimal separator -------------------------------------------------------------------

namespace {
std::string g_separator = ".";
std::vector<std::string> g_params;
}  // namespace

void InitDecimalSeparator() {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "")) {
    const std::lconv* lc = std::localeconv();
    if (lc && lc->decimal_point && *lc->decimal_point) g_separator = lc->decimal_point;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

void SetDecimalSeparator(char separator) { g_separator = std::string(1, separator); }

std::string DecimalSeparator() { return g_separator; }

// ---- Decimal digits ----------------------------------------------------------------------

namespace {

// |x| as decimal digits d0 d1 ... with value 0.d0d1... * 10^(exp10 + 1), i.e. d0 is the
// digit of 10^exp10. Taken to 18 significant digits first, so that values entered as
// decimals round the way they read.
struct Digits {
  std::string d;  // empty for zero
  int exp10 = 0;
};

Digits ToDigits(long double x) {
  Digits r;
  long double a = std::fabs(x);
  if (a == 0 || !std::isfinite(a)) return r;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 17);
  std::string_view t(buf, res.ptr - buf);
  std::size_t e = t.find('e');
  for (std::size_t i = 0; i < e; ++i)
    if (t[i] != '.') r.d += t[i];
  r.exp10 = std::atoi(std::string(t.substr(e + 1)).c_str());
  return r;
}

// Keeps `keep` leading digits, rounding half up on the next digit.
void RoundDigits(Digits& g, int keep) {
  if (g.d.empty()) return;
  if (keep >= static_cast<int>(g.d.size())) return;
  if (keep < 0) {
    g.d.clear();
    return;
  }
  bool up = g.d[keep] >= '5';
  g.d.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && g.d[i] == '9') g.d[i--] = '0';
    if (i >= 0) {
      ++g.d[i];
    } else {
      g.d.insert(g.d.begin(), '1');
      ++g.exp10;
    }
  }
  while (!g.d.empty() && g.d.back() == '0') g.d.pop_back();
  if (g.d.empty()) g.exp10 = 0;
}

// Digit of 10^p in g ('0' outside the digit string).
char DigitAt(const Digits& g, int p) {
  int i = g.exp10 - p;
  if (i < 0 || i >= static_cast<int>(g.d.size())) return '0';
  return g.d[i];
}

std::string FixedText(const Digits& g, bool negative, int decimals, const std::string& sep) {
  std::string s;
  if (negative && !g.d.empty()) s += '-';
  int top = g.d.empty() ? 0 : std::max(g.exp10, 0);
  for (int p = top; p >= 0; --p) s += DigitAt(g, p);
  if (decimals > 0) {
    s += sep;
    for (int p = -1; p >= -decimals; --p) s += DigitAt(g, p);
  }
  return s;
}

// Exponent form: mantissa with trailing zeros dropped, "E", exponent ("1.5E-5", "1E20").
std::string ExponentText(const Digits& g, bool negative, const std::string& sep) {
  std::string s;
  if (negative) s += '-';
  s += g.d[0];
  if (g.d.size() > 1) s += sep + g.d.substr(1);
  s += "E" + std::to_string(g.exp10);
  return s;
}

// Text of an infinite or undefined value, "" for a finite one.
std::string NonFiniteText(long double x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  return "";
}

std::string GeneralText(long double x, int precision, const std::string& sep) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  Digits g = ToDigits(x);
  RoundDigits(g, precision);
  if (g.d.empty()) return "0";
  bool negative = x < 0;
  if (g.exp10 >= precision || g.exp10 < -4) return ExponentText(g, negative, sep);
  int decimals = std::max(0, static_cast<int>(g.d.size()) - 1 - g.exp10);
  return FixedText(g, negative, decimals, sep);
}

// Decimal digits of n (1 for 0).
int DigitCount(unsigned long long n) {
  int k = 1;
  for (unsigned long long p = 10; k < 20 && n >= p; p *= 10) ++k;
  return k;
}

// x within lo..hi (lo <= hi); the number writers call this for every number.
constexpr int Within(int lo, int hi, int x) { return x < lo ? lo : x > hi ? hi : x; }

// The decimals after the Decimals setting, the digits the text may show and its padded width.
struct FixedPlan {
  int decimals, precision, target;
};

// The places after the separator a text asked for with decimals gets under the Decimals setting.
int PlannedDecimals(int decimals) {
  if (Settings.Decimals != 3) decimals = Within(0, 10, decimals + Settings.Decimals - 3);
  return Within(0, 18, decimals);
}

// Inline: a call returns the plan through memory, and the writers plan every number.
[[gnu::always_inline]] inline FixedPlan PlanFixed(int width, int decimals) {
  decimals = PlannedDecimals(decimals);
  return {decimals, Within(1, 18, width + decimals),
          decimals > 0 ? width + 1 + decimals : width};
}

// Quick road: when every shown digit lies within the precision, the text is plain rounding to
// `decimals` places (the digit road gives the same away from ties). When the whole number shows
// more digits than the precision, the digit road rounds to the precision and fills the places
// after it with zeros: the same is rounding to fewer places and adding the zeros. The unpadded
// text into buf (room for ScaledFixedMaxChars), its end; nullptr where the digit road must decide.
// (x by reference, as DecimalsDotChars takes it.)
char* QuickFixed(char* buf, const FixedPlan& p, const long double& x, char sep) {
  unsigned long long n = 0;
  if (p.decimals > p.precision || !RoundScaled(x, p.decimals, n)) return nullptr;
  // Mostly the digits lie within the precision (1..18): one comparison instead of counting them.
  static constexpr unsigned long long limits[] = {
      1ULL,           10ULL,           100ULL,           1000ULL,           10000ULL,
      100000ULL,      1000000ULL,      10000000ULL,      100000000ULL,      1000000000ULL,
      10000000000ULL, 100000000000ULL, 1000000000000ULL, 10000000000000ULL, 100000000000000ULL,
      1000000000000000ULL, 10000000000000000ULL, 100000000000000000ULL, 1000000000000000000ULL};
  if (n < limits[p.precision]) return ScaledFixedChars(buf, x < 0, n, p.decimals, sep);
  const int excess = DigitCount(n) - p.precision;
  // More integer digits than the precision take the exponent form.
  if (excess > p.decimals || !RoundScaled(x, p.decimals - excess, n)) return nullptr;
  char* end = ScaledFixedChars(buf, x < 0, n, p.decimals - excess, sep);
  if (excess == p.decimals) *end++ = sep;
  for (int i = 0; i < excess; ++i) *end++ = '0';
  return end;
}

void AppendPadded(std::string& out, const char* text, const char* end, int target) {
  const int length = static_cast<int>(end - text);
  if (length < target) out.append(static_cast<size_t>(target - length), ' ');
  out.append(text, static_cast<size_t>(length));
}

std::string FixedWithSep(int width, int decimals, long double x, const std::string& sep) {
  if (std::fabs(x) < 1e-8L) x = 0;
  const FixedPlan plan = PlanFixed(width, decimals);
  decimals = plan.decimals;
  const int precision = plan.precision;
  char buf[ScaledFixedMaxChars];
  if (sep.size() == 1) {
    if (const char* end = QuickFixed(buf, plan, x, sep[0])) {
      std::string s;
      AppendPadded(s, buf, end, plan.target);
      return s;
    }
  }
  Digits g = ToDigits(x);
  std::string s;
  if (!std::isfinite(x)) {
    s = NonFiniteText(x);
  } else if (!g.d.empty() && g.exp10 + 1 > precision) {
    RoundDigits(g, precision);
    s = ExponentText(g, x < 0, sep);
  } else {
    // Round to the fewer of `precision` significant digits and `decimals` places.
    RoundDigits(g, std::min(precision, g.exp10 + 1 + decimals));
    s = FixedText(g, x < 0, decimals, sep);
  }
  return Utf8PadLeft(s, plan.target);
}

// The integer places FloatStrDecimals gives x: those of its whole part (none below 1).
int IntegerPlaces(long double x) {
  const long double a = std::fabs(x);
  if (a >= 1 && a < 1e15L) {
    // The digits of the whole part by comparison (whole powers of ten are exact): cheaper than
    // cutting a long double to an integer.
    static constexpr long double powers[] = {1e1L, 1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                             1e8L, 1e9L, 1e10L, 1e11L, 1e12L, 1e13L, 1e14L};
    int places = 1;
    while (places < 15 && a >= powers[places - 1]) ++places;
    return places;
  }
  if (a < 1) return 0;
  int i, d;
  SignificantDigits(i, d, 3, x);
  return i;
}

std::string FloatStrWithSep(long double x, const std::string& sep) {
  if (std::fabs(x) < 1e-5L) return "0";
  int i, d;
  SignificantDigits(i, d, 3, x);
  return FixedWithSep(i, d, x, sep);
}

std::string FloatStrDecimalsWithSep(int decimals, long double x, const std::string& sep) {
  return FixedWithSep(IntegerPlaces(x), decimals, x, sep);
}

constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
constexpr unsigned long long PowersOfTen[] = {1ULL,      10ULL,      100ULL,      1000ULL,
                                              10000ULL,  100000ULL,  1000000ULL,  10000000ULL,
                                              100000000ULL, 1000000000ULL, 10000000000ULL,
                                              100000000000ULL, 1000000000000ULL};

void PutPair(char* p, unsigned i) { std::memcpy(p, DigitPairs + 2 * i, 2); }

// The k digits of f (f < 10^k, 3 <= k <= 9) left to right from p; the end. f times 2^57 / 10^m
// (m the places after the first group, rounded up) holds each group as its whole part: taken off,
// the rest times 100 gives the next. The rounding up stays below the smallest step of the places
// (checked for every f of every k).
template <int k>
char* FractionDigits(char* p, unsigned f) {
  constexpr int first = k % 2 == 1 ? 1 : 2;
  constexpr unsigned long long scale = (1ULL << 57) / PowersOfTen[k - first] + 1;
  constexpr unsigned long long mask = (1ULL << 57) - 1;
  unsigned long long y = f * scale;
  if constexpr (first == 1) {
    *p++ = static_cast<char>('0' + (y >> 57));
  } else {
    PutPair(p, static_cast<unsigned>(y >> 57));
    p += 2;
  }
  for (int i = 0; i < (k - first) / 2; ++i) {
    y = (y & mask) * 100;
    PutPair(p, static_cast<unsigned>(y >> 57));
    p += 2;
  }
  return p;
}

// The whole part v into p, left to right; the end. Inline: it is the most of every quick text.
[[gnu::always_inline]] inline char* WholeDigits(char* p, unsigned v) {
  if (v < 10) {
    *p = static_cast<char>('0' + v);
    return p + 1;
  }
  if (v < 100) {
    PutPair(p, v);
    return p + 2;
  }
  const int guess = (std::bit_width(v) * 1233) >> 12;  // 1233 / 4096 is just below log10(2)
  char* const end = p + guess + 1 - (v < PowersOfTen[guess] ? 1 : 0);
  char* q = end;
  for (; v >= 100; v /= 100) {
    q -= 2;
    PutPair(q, v % 100);
  }
  if (v >= 10)
    PutPair(q - 2, v);
  else
    q[-1] = static_cast<char>('0' + v);
  return end;
}

// The quick case of ScaledFixedChars for k places (1 to 9) and a whole part below 2^32, written
// left to right; nullptr for a larger whole part.
template <int k>
[[gnu::always_inline]] inline char* ShortScaledFixed(char* out, bool negative, unsigned long long n,
                                                     char separator) {
  constexpr unsigned long long divisor = PowersOfTen[k];
  const unsigned long long w = n / divisor;
  if (w > 0xFFFFFFFFULL) return nullptr;
  const unsigned f = static_cast<unsigned>(n - w * divisor);
  char* p = out;
  if (negative && n > 0) *p++ = '-';
  p = WholeDigits(p, static_cast<unsigned>(w));
  *p++ = separator;
  if constexpr (k == 1) {
    *p = static_cast<char>('0' + f);
    return p + 1;
  } else if constexpr (k == 2) {
    PutPair(p, f);
    return p + 2;
  } else {
    return FractionDigits<k>(p, f);
  }
}

// The other cases: the length first, then the digits straight into place right to left, two at a
// time. Not inlined, so that the quick case is a short call.
[[gnu::noinline]] char* LongScaledFixed(char* out, bool negative, unsigned long long n,
                                        int decimals, char separator) {
  static constexpr char pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  static constexpr unsigned long long powers[] = {1ULL,
                                                  10ULL,
                                                  100ULL,
                                                  1000ULL,
                                                  10000ULL,
                                                  100000ULL,
                                                  1000000ULL,
                                                  10000000ULL,
                                                  100000000ULL,
                                                  1000000000ULL,
                                                  10000000000ULL,
                                                  100000000000ULL,
                                                  1000000000000ULL,
                                                  10000000000000ULL,
                                                  100000000000000ULL,
                                                  1000000000000000ULL,
                                                  10000000000000000ULL,
                                                  100000000000000000ULL,
                                                  1000000000000000000ULL,
                                                  10000000000000000000ULL};
  if (decimals < 0) decimals = 0;
  if (decimals > ScaledFixedMaxChars - 24) decimals = ScaledFixedMaxChars - 24;
  // Decimal digits of n from its bit length (1233 / 4096 is just below log10(2)).
  const int bits = std::bit_width(n | 1);
  const int guess = (bits * 1233) >> 12;
  const int digits = guess + 1 - (n < powers[guess] ? 1 : 0);
  const int whole = digits > decimals ? digits - decimals : 1;
  const bool sign = negative && n > 0;
  char* const end = out + (sign ? 1 : 0) + whole + (decimals > 0 ? decimals + 1 : 0);
  char* p = end;
  auto pair = [&p](unsigned i) {
    p -= 2;
    p[0] = pairs[2 * i];
    p[1] = pairs[2 * i + 1];
  };
  // Up to nine places the fraction and (mostly) the whole part go in 32 bits, where the
  // divisions by 100 are cheap.
  auto whole32 = [&](unsigned w) {
    for (; w >= 100; w /= 100) pair(w % 100);
    if (w >= 10)
      pair(w);
    else
      *--p = static_cast<char>('0' + w);
  };
  if (decimals > 0 && decimals <= 9) {
    // Constant divisors, and the fraction's digits without a loop.
    auto fraction = [&](auto places) {
      constexpr int k = decltype(places)::value;
      constexpr unsigned long long divisor = powers[k];
      const unsigned long long q = n / divisor;
      unsigned f = static_cast<unsigned>(n - q * divisor);
      for (int i = 0; i < k / 2; ++i, f /= 100) pair(f % 100);
      if constexpr (k % 2 == 1) *--p = static_cast<char>('0' + f);
      n = q;
    };
    switch (decimals) {
      case 1: fraction(std::integral_constant<int, 1>{}); break;
      case 2: fraction(std::integral_constant<int, 2>{}); break;
      case 3: fraction(std::integral_constant<int, 3>{}); break;
      case 4: fraction(std::integral_constant<int, 4>{}); break;
      case 5: fraction(std::integral_constant<int, 5>{}); break;
      case 6: fraction(std::integral_constant<int, 6>{}); break;
      case 7: fraction(std::integral_constant<int, 7>{}); break;
      case 8: fraction(std::integral_constant<int, 8>{}); break;
      default: fraction(std::integral_constant<int, 9>{}); break;
    }
    *--p = separator;
  } else if (decimals > 0) {
    int k = decimals;
    for (; k >= 2; k -= 2, n /= 100) pair(static_cast<unsigned>(n % 100));
    if (k == 1) {
      *--p = static_cast<char>('0' + n % 10);
      n /= 10;
    }
    *--p = separator;
  }
  if (n <= 0xFFFFFFFFULL) {
    whole32(static_cast<unsigned>(n));
  } else {
    for (; n >= 100; n /= 100) pair(static_cast<unsigned>(n % 100));
    if (n >= 10)
      pair(static_cast<unsigned>(n));
    else
      *--p = static_cast<char>('0' + n);
  }
  if (sign) *--p = '-';
  return end;
}

}  // namespace

// ---- Numbers to text ---------------------------------------------------------------------

char* ScaledFixedChars(char* out, bool negative, unsigned long long n, int decimals,
                       char separator) {
  // The file writers format tens of thousands of numbers a drawing, nearly all the quick case.
  char* end = nullptr;
  switch (decimals) {
    case 1: end = ShortScaledFixed<1>(out, negative, n, separator); break;
    case 2: end = ShortScaledFixed<2>(out, negative, n, separator); break;
    case 3: end = ShortScaledFixed<3>(out, negative, n, separator); break;
    case 4: end = ShortScaledFixed<4>(out, negative, n, separator); break;
    case 5: end = ShortScaledFixed<5>(out, negative, n, separator); break;
    case 6: end = ShortScaledFixed<6>(out, negative, n, separator); break;
    case 7: end = ShortScaledFixed<7>(out, negative, n, separator); break;
    case 8: end = ShortScaledFixed<8>(out, negative, n, separator); break;
    case 9: end = ShortScaledFixed<9>(out, negative, n, separator); break;
    default: break;
  }
  return end ? end : LongScaledFixed(out, negative, n, decimals, separator);
}

std::string ScaledFixedText(bool negative, unsigned long long n, int decimals, char separator) {
  char buf[ScaledFixedMaxChars];
  return std::string(buf, ScaledFixedChars(buf, negative, n, decimals, separator));
}

void SignificantDigits(int& intDigits, int& decimals, int n, long double x) {
  if (x == 0) x = 0.5L;
  if (!std::isfinite(x)) {
    intDigits = 1;
    decimals = 0;
    return;
  }
  long double a = std::fabs(x);
  int e = DecadeExponent(a);
  if (n <= e) {
    intDigits = e + 1;
    decimals = 0;
  } else if (e >= 0) {
    intDigits = e + 1;
    decimals = n - e;
  } else {
    intDigits = 0;
    decimals = n - e - 1;
  }
  // Drop trailing zeros of the shown digits.
  long double k = RoundHalfEven(a * IntPower(10, decimals + 1));
  while (k >= 1) {
    k = std::trunc(k / 10);
    if (std::fmod(k, 10.0L) != 0) break;
    --decimals;
    if (k == 0) break;
  }
  // A large value can run the count below zero; whole numbers have no decimals.
  if (decimals < 0) decimals = 0;
}

std::string FloatStrFixed(int width, int decimals, long double x) {
  return FixedWithSep(width, decimals, x, g_separator);
}

std::string FloatStr(long double x) { return FloatStrWithSep(x, g_separator); }

std::string FloatStrSig(int k, long double x) {
  if (std::fabs(x) < 1e-5L) return "0";
  int i, d;
  SignificantDigits(i, d, 3 - k, x);
  return FloatStrFixed(i, d, x);
}

std::string FloatStr6(long double x) { return FloatStrSig(-3, x); }

std::string FloatStrDecimals(int decimals, long double x) {
  return FloatStrDecimalsWithSep(decimals, x, g_separator);
}

std::string FloatStrWidth(int width, long double x) {
  int i, d;
  SignificantDigits(i, d, 3, x);
  if (!(std::fabs(x) < 1e-6L)) {  // NAN is shown, not taken for 0
    if (d >= 1) return FloatStrFixed(width - d - 1, d, x);
    return FloatStrFixed(width, 0, x);
  }
  return AlignRight("0", width);
}

std::string FloatStrDot(long double x) { return FloatStrWithSep(x, "."); }

std::string FloatStrDecimalsDot(int decimals, long double x) {
  return FloatStrDecimalsWithSep(decimals, x, ".");
}

std::string FloatStrFixedDot(int width, int decimals, long double x) {
  return FixedWithSep(width, decimals, x, ".");
}

void AppendFloatStrFixedDot(std::string& out, int width, int decimals, long double x) {
  if (std::fabs(x) < 1e-8L) x = 0;
  const FixedPlan plan = PlanFixed(width, decimals);
  // The padding and the text go in as one piece where the padding is short.
  char buf[64 + ScaledFixedMaxChars];
  if (plan.target <= 64) {
    if (char* end = QuickFixed(buf + 64, plan, x, '.')) {
      char* text = buf + 64;
      while (end - text < plan.target) *--text = ' ';
      out.append(text, static_cast<size_t>(end - text));
      return;
    }
  } else if (const char* end = QuickFixed(buf, plan, x, '.')) {
    AppendPadded(out, buf, end, plan.target);
    return;
  }
  out += FixedWithSep(width, decimals, x, ".");
}

char* DecimalsDotChars(char* out, int decimals, const long double& value) {
  // The width is the whole part's places, so the rounded number shows within it and needs no
  // padding, unless the rounding carries into one place more (n = 10^k and |x| below the whole
  // power 10^(k - places)): only then does the plan have to decide. The places after the separator
  // do not depend on the width.
  static constexpr long double wholePowers[] = {1e0L, 1e1L, 1e2L, 1e3L,  1e4L,  1e5L,  1e6L,
                                                1e7L, 1e8L, 1e9L, 1e10L, 1e11L, 1e12L, 1e13L};
  const int places = PlannedDecimals(decimals);
  long double x = value;
  // A value below 1e-8 counts as 0; up to 7 places it rounds to 0 anyway (and shows no sign).
  if (places > 7 && std::fabs(x) < 1e-8L) x = 0;
  unsigned long long n = 0;
  if (!RoundScaled(x, places, n)) return nullptr;
  // Whether n is a power of ten 10^k (k >= 1), from its bit length instead of dividing off zeros.
  // (n is below 2^40, so k is at most 12.)
  if (n >= 10) {
    const int k = (std::bit_width(n) * 1233) >> 12;  // 1233 / 4096 is about log10(2)
    if (n == PowersOfTen[k] && k >= places && std::fabs(x) < wholePowers[k - places])
      return nullptr;
  }
  // Three places (the writers' usual ones) without the dispatch on the places.
  if (places == 3)
    if (char* end = ShortScaledFixed<3>(out, x < 0, n, '.')) return end;
  return ScaledFixedChars(out, x < 0, n, places, '.');
}

char* FixedDotChars(char* out, int width, int decimals, const long double& value) {
  long double x = value;
  if (std::fabs(x) < 1e-8L) x = 0;
  const FixedPlan plan = PlanFixed(width, decimals);
  char* end = QuickFixed(out, plan, x, '.');
  if (end && end - out < plan.target) return nullptr;  // padded: AppendFloatStrFixedDot's road
  return end;
}

char* SevenDigitChars(char* out, unsigned n) {
  if (n >= 10000000) n %= 10000000;
  return FractionDigits<7>(out, n);
}

void AppendFloatStrDecimalsDot(std::string& out, int decimals, long double x) {
  char buf[ScaledFixedMaxChars];
  if (const char* end = DecimalsDotChars(buf, decimals, x)) {
    out.append(buf, static_cast<size_t>(end - buf));
    return;
  }
  AppendFloatStrFixedDot(out, IntegerPlaces(x), decimals, x);
}

std::string GeneralFloatStr(long double x) { return GeneralText(x, 15, g_separator); }

std::string LengthStr(long double mm) {
  if (Settings.UnitSystem == 1) return FloatStrDecimals(4, mm / 25.4L);
  return FloatStr(mm);
}

std::string LengthStrDecimals(int decimals, long double mm) {
  if (Settings.UnitSystem == 1) return FloatStrDecimals(decimals + 1, mm / 25.4L);
  return FloatStrDecimals(decimals, mm);
}

std::string LengthStr6(long double mm) {
  if (Settings.UnitSystem == 1) return FloatStrDecimals(5, mm / 25.4L);
  return FloatStr6(mm);
}

std::string LengthStrFixed(int width, int decimals, long double mm) {
  if (Settings.UnitSystem == 1) return FloatStrFixed(MaxInteger(width - 1, 1), decimals + 1, mm / 25.4L);
  return FloatStrFixed(width, decimals, mm);
}

std::string LengthUnitStr() { return Settings.UnitSystem == 1 ? "in" : "mm"; }

long double StrToLength(const std::string& s) {
  long double v = StrToReal(s);
  return Settings.UnitSystem == 1 ? v * 25.4L : v;
}

std::string DegreeStr() { return Settings.SpecialCharMode == 1 ? "deg" : "°"; }

std::string AngleStr(long double deg) {
  // Infinite, undefined and absurdly large values have no minutes: decimal form.
  if (Settings.AngleFormat == 1 || !(std::fabs(deg) < 1e15L)) return FloatStrWidth(7, deg) + DegreeStr();
  // Degrees, minutes and seconds of |deg|; the sign goes in front, so that angles
  // between -1 and 0 keep it.
  bool negative = deg < 0;
  long double a = std::fabs(deg);
  long long d = static_cast<long long>(std::trunc(a));
  long double f = (a - std::trunc(a)) * 60;
  long long m = static_cast<long long>(std::trunc(f));
  long long s = static_cast<long long>(std::fabs(RoundHalfEven((f - std::trunc(f)) * 60)));
  if (s >= 60) {
    ++m;
    s -= 60;
  }
  if (m >= 60) {
    ++d;
    m -= 60;
  }
  if (m == 0 && s == 0) return FloatStrWidth(7, deg) + DegreeStr();
  std::string degrees = (negative ? "-" : "") + IntStr(d);
  if (s != 0) return degrees + DegreeStr() + IntStr(m) + "'" + IntStr(s) + "\"";
  return Utf8PadLeft(degrees, 5) + DegreeStr() + IntStr(m) + "'";
}

std::string DateStr(int year, int month, int day) {
  std::string y = IntStr(year), m = IntStrZero(month, 2), d = IntStrZero(day, 2);
  switch (Settings.DateFormat) {
    case 1: return d + "." + m + "." + y;
    case 2: return m + "/" + d + "/" + y;
    case 3: return y + "-" + m + "-" + d;
    case 4: return d + "/" + m + "/" + y;
    default: return y + "/" + m + "/" + d;
  }
}

std::string IntStr(long long n) { return std::to_string(n); }

std::string IntStrZero(long long n, int width) { return Utf8PadLeft(IntStr(n), width, '0'); }

std::string IntStrBlank(long long n, int width) { return Utf8PadLeft(IntStr(n), width); }

std::string NumberToLetter(int n) {
  int c = 64 + n;
  if (c < 32 || c > 126) return "";
  return std::string(1, static_cast<char>(c));
}

// ---- Text to numbers ---------------------------------------------------------------------

namespace {
std::size_t SkipBlanks(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}
}  // namespace

long double StrToReal(const std::string& text) {
  std::string s = text;
  std::size_t comma = s.find(',');
  if (comma != std::string::npos) s[comma] = '.';
  std::size_t i = SkipBlanks(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Digits, an optional fraction and an optional exponent; no "inf", "nan" or hex.
  std::size_t start = i;
  bool digits = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool expDigits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, expDigits = true;
    if (!expDigits) return 0;
  }
  if (i != s.size()) return 0;
  long double v = 0;
  auto res = std::from_chars(s.data() + start, s.data() + i, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != s.data() + i) return 0;
  return negative ? -v : v;
}

long double ParseReal(const std::string& s) { return StrToReal(s); }

int StrToInteger(const std::string& s) {
  std::size_t i = SkipBlanks(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size()) return 0;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return 0;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return 0;
  return static_cast<int>(v);
}

int StrToLongint(const std::string& s) { return StrToInteger(s); }

int ParseLongint(const std::string& s) { return StrToInteger(s); }

// ---- Strings -----------------------------------------------------------------------------

std::string UpperStr(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerStr(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string LeftStr(const std::string& s, int n) { return Utf8Cut(s, n); }

std::string RightStr(const std::string& s, int n) { return Utf8Right(s, n); }

std::string AlignLeft(const std::string& s, int width) {
  return Utf8PadRight(Utf8Cut(s, width), width);
}

std::string AlignRight(const std::string& s, int width) {
  std::string t = TrimBlanks(s);
  if (Utf8Length(t) > width) return Utf8Cut(t, width);
  return Utf8PadLeft(t, width);
}

std::string TrimBlanks(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

void TrimVar(std::string& s) { s = TrimBlanks(s); }

void DeleteBlanks(std::string& s) { std::erase(s, ' '); }

std::string WithoutBlanks(const std::string& s) {
  std::string r = s;
  DeleteBlanks(r);
  return r;
}

void ReplaceChar(std::string_view oldCh, std::string_view newCh, std::string& s) {
  if (oldCh.empty()) return;
  std::string r;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t n = Utf8CharBytes(s, i);
    std::string_view c(s.data() + i, n);
    if (c == oldCh) r += newCh;
    else r += c;
    i += n;
  }
  s = std::move(r);
}

void ReplaceChar(char oldCh, char newCh, std::string& s) {
  ReplaceChar(std::string_view(&oldCh, 1), std::string_view(&newCh, 1), s);
}

std::string PointToComma(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == '.') c = ',';
  return r;
}

std::string CommaToPoint(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == ',') c = '.';
  return r;
}

int LastOccurrence(const std::string& sub, const std::string& s) {
  int last = 0;
  for (int p = Utf8Pos(sub, s); p != 0; p = Utf8Pos(sub, s, p + 1)) last = p;
  return last;
}

int CountChar(std::string_view ch, const std::string& s) {
  if (ch.empty()) return 0;
  int n = 0;
  for (std::size_t i = 0; i < s.size(); i += Utf8CharBytes(s, i))
    if (std::string_view(s).substr(i, Utf8CharBytes(s, i)) == ch) ++n;
  return n;
}

int CountChar(char ch, const std::string& s) { return CountChar(std::string_view(&ch, 1), s); }

void OverwriteStr(const std::string& sub, std::string& s, int pos) {
  if (pos < 1) return;
  int subLen = Utf8Length(sub);
  if (pos - 1 + subLen > Utf8Length(s)) return;
  std::size_t b = Utf8ByteOffset(s, pos - 1);
  std::size_t e = b + Utf8ByteOffset(std::string_view(s).substr(b), subLen);
  s.replace(b, e - b, sub);
}

void AbbreviateText(const std::string& s, int maxLen, std::string& result) {
  int len = Utf8Length(s);
  if (len <= maxLen) {
    result = s;
    return;
  }
  int h = maxLen / 2 - 3;  // below 0 for maxLen < 6: no head and no tail
  result = Utf8Cut(s, h) + " ... " + Utf8Copy(s, len - h, len);
}

void WrapText(const std::string& s, char breakChar, int maxLen, int& lineCount, int& maxWidth) {
  if (maxLen < 1) maxLen = 1;
  Session.WrapLines.clear();
  lineCount = 0;
  maxWidth = 1;
  std::string rest = s;
  const std::string brk(1, breakChar);
  do {
    ++lineCount;
    int restLen = Utf8Length(rest);
    int k;
    if (restLen > maxLen) {
      k = maxLen;
      for (int p = maxLen - 1; p >= 1; --p) {
        if (Utf8Copy(rest, p, 1) == brk) {
          k = p;
          break;
        }
      }
    } else {
      k = restLen;
    }
    maxWidth = MaxInteger(maxWidth, k);
    std::size_t b = Utf8ByteOffset(rest, k);
    Session.WrapLines.push_back(rest.substr(0, b));
    rest.erase(0, b);
  } while (!rest.empty());
}

void SetProgramParams(const std::vector<std::string>& params) { g_params = params; }

const std::vector<std::string>& ProgramParams() { return g_params; }

bool ParamPresent(const std::string& sw) {
  std::string u = UpperStr(sw);
  for (const std::string& p : g_params)
    if (UpperStr(p) == u) return true;
  return false;
}

std::string CopyAnsiText(const std::string& s) { return s; }

// ---- Display and output texts ------------------------------------------------------------

namespace {

const char* Transliteration(char32_t c) {
  switch (c) {
    case U'ü': return "ue";
    case U'é': return "e";
    case U'ä': return "ae";
    case U'Ä': return "Ae";
    case U'ö': return "oe";
    case U'Ö': return "Oe";
    case U'Ü': return "Ue";
    case U'á': return "a";
    case U'ú': return "u";
    case U'ñ': return "n";
    case U'─': case U'═': return "-";
    case U'ß': return "ss";
    case U'µ': case U'μ': return "u";
    case U'±': return "+/-";
    case U'°': return "deg";
    case U'²': return "2";
    default: return nullptr;
  }
}

}  // namespace

std::string TransliterateUmlauts(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t start = i;
    char32_t c = Utf8Next(s, i);
    if (const char* t = Transliteration(c)) r += t;
    else r.append(s, start, i - start);
  }
  return r;
}

std::string ReplaceOemChars(const std::string& s) {
  // Mostly plain ASCII (every drawn text goes through here): nothing to replace.
  unsigned char high = 0;
  for (char c : s) high |= static_cast<unsigned char>(c);
  if (high < 0x80) return s;
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t start = i;
    char32_t c = Utf8Next(s, i);
    if (char a = BoxDrawingToAscii(c)) r += a;
    else r.append(s, start, i - start);
  }
  return r;
}

// Texts are UTF-8 throughout, so the only characters display changes are the box-drawing
// ones (which Windows-1252 lacks) and, when spelled out, umlauts and signs. Any length works.
std::string ConvertDisplayText(const std::string& s) {
  if (Settings.SpecialCharMode == 1) return ReplaceOemChars(TransliterateUmlauts(s));
  return ReplaceOemChars(s);
}

std::string OemStrToAnsi(const std::string& s) { return ConvertDisplayText(s); }

// Edited text goes back into storage as it is: storage is UTF-8 as well, and the code page
// of a file is applied where the file is written.
std::string AnsiStrToOem(const std::string& s) { return s; }

std::string ConvertOutputText(const std::string& s) {
  switch (Settings.CadTextMode) {
    case 2: return ConvertDisplayText(s);
    case 3: return TransliterateUmlauts(s);
    default: return s;
  }
}

}  // namespace qern
