// Dates of the table engine: date texts by style, Julian day numbers, weekday and month names.
#include "tablengine/kpdate.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/codepage.h"
#include "tablengine/kpcore.h"

namespace qern::kelpie {

namespace {

struct NameTable {
  int Width;
  std::vector<std::string> Names;  // engine bytes
};

std::vector<std::string> Ansi(std::initializer_list<const char*> utf8) {
  std::vector<std::string> v;
  for (const char* s : utf8) v.push_back(Utf8ToCp1252(s));
  return v;
}

enum Language { English, Italian, French, German, Spanish, Russian };

const NameTable& DayNames(Language l) {
  static const NameTable t[] = {
      {9, Ansi({"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"})},
      {9, Ansi({"Domenica", "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato"})},
      {8, Ansi({"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"})},
      {10, Ansi({"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"})},
      {9, Ansi({"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"})},
      // Code page 866.
      {11,
       {"\x82\xAE\xE1\xAA\xE0\xA5\xE1\xA5\xAD\xEC\xA5", "\x8F\xAE\xAD\xA5\xA4\xA5\xAB\xEC\xAD\xA8\xAA",
        "\x82\xE2\xAE\xE0\xAD\xA8\xAA", "\x91\xE0\xA5\xA4\xA0", "\x97\xA5\xE2\xA2\xA5\xE0\xA3",
        "\x8F\xEF\xE2\xAD\xA8\xE6\xA0", "\x91\xE3\xA1\xA1\xAE\xE2\xA0"}},
  };
  return t[l];
}

const NameTable& MonthNames(Language l) {
  static const NameTable t[] = {
      {9, Ansi({"January", "February", "March", "April", "May", "June", "July", "August", "September",
                "October", "November", "December"})},
      {9, Ansi({"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
                "Settembre", "Ottobre", "Novembre", "Dicembre"})},
      {9, Ansi({"Janvier", "Février", "Mars", "Avril", "Mai", "Juin", "Juillet", "Août", "Septembre",
                "Octobre", "Novembre", "Décembre"})},
      {9, Ansi({"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September",
                "Oktober", "November", "Dezember"})},
      {10, Ansi({"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto",
                 "Septiembre", "Octubre", "Noviembre", "Diciembre"})},
      // Code page 866.
      {8,
       {"\x9F\xAD\xA2\xA0\xE0\xEC", "\x94\xA5\xA2\xE0\xA0\xAB\xEC", "\x8C\xA0\xE0\xE2",
        "\x80\xAF\xE0\xA5\xAB\xEC", "\x8C\xA0\xA9", "\x88\xEE\xAD\xEC", "\x88\xEE\xAB\xEC",
        "\x80\xA2\xA3\xE3\xE1\xE2", "\x91\xA5\xAD\xE2\xEF\xA1\xE0\xEC", "\x8E\xAA\xE2\xEF\xA1\xE0\xEC",
        "\x8D\xAE\xEF\xA1\xE0\xEC", "\x84\xA5\xAA\xA0\xA1\xE0\xEC"}},
  };
  return t[l];
}

Language LanguageOfStyle(int style) {
  switch (style) {
    case 3: return Italian;
    case 4: case 7: return French;
    case 5: return German;
    case 6: return Spanish;
    case 8: return Russian;
    default: return English;
  }
}

std::string Slot(const NameTable& t, int n) {
  if (n < 1 || n > static_cast<int>(t.Names.size())) return std::string(t.Width, ' ');
  std::string s = t.Names[n - 1];
  s.resize(t.Width, ' ');
  return s;
}

// Order of the parts of a typed date: 0 month-day-year, 1 year-month-day, 2 day-month-year.
int PartOrder(int style) {
  if (style == 0) return 0;
  if (style == 1) return 1;
  return 2;
}

bool IsSep(char c) { return c == '.' || c == '-' || c == '/'; }

// Splits a date text at its separators into three parts; false without a separator.
bool SplitParts(const std::string& text, std::string parts[3]) {
  int p = 0;
  bool any = false;
  for (char c : text) {
    if (IsSep(c)) {
      any = true;
      if (++p > 2) break;
      continue;
    }
    if (c != ' ') parts[p] += c;
  }
  return any;
}

bool Numeric(const std::string& s, int& value) {
  if (s.empty() || s.size() > 9) return false;
  value = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

std::string Two(int v) {
  v = ((v % 100) + 100) % 100;
  return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string Four(int v) {
  if (v < 0 || v > 9999) return std::to_string(v);
  return {static_cast<char>('0' + v / 1000), static_cast<char>('0' + v / 100 % 10),
          static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

bool ValidYmd(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int max = days[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
  return d <= max;
}

// The internal form's parts "mm/dd/yy[yy]"; false when not numeric.
bool InternalParts(const std::string& normalized, int& m, int& d, int& y, size_t& yearDigits) {
  std::string p[3];
  if (!SplitParts(normalized, p)) return false;
  yearDigits = p[2].size();
  return Numeric(p[0], m) && Numeric(p[1], d) && Numeric(p[2], y);
}

}  // namespace

bool IsLeapYear(int year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

int CompleteYear(int yy) {
  if (yy >= 100 || yy < 0) return yy;
  const int pivotYy = CenturyPivot % 100;
  const int pivotCentury = CenturyPivot - pivotYy;
  return yy < pivotYy ? pivotCentury + 100 + yy : pivotCentury + yy;
}

std::string CenturyDigits(int yy) { return Two(CompleteYear(yy) / 100); }

std::string BlankDate(int style) {
  const char sep = (style == 1 || (style >= 4 && style <= 8)) ? '.' : style == 3 ? '-' : '/';
  std::string s = "  ";
  s += sep;
  s += "  ";
  s += sep;
  s += CenturyFlag ? "    " : "  ";
  return s;
}

void NormalizeDate(std::string& d) {
  std::string p[3];
  if (!SplitParts(d, p)) return;
  if (p[0].empty() && p[1].empty() && p[2].empty()) {
    d = CenturyFlag ? "  /  /    " : "  /  /  ";
    return;
  }
  std::string m, day, y;
  switch (PartOrder(DateStyle)) {
    case 0: m = p[0]; day = p[1]; y = p[2]; break;
    case 1: y = p[0]; m = p[1]; day = p[2]; break;
    default: day = p[0]; m = p[1]; y = p[2];
  }
  auto pad = [](std::string s) {
    while (s.size() < 2) s = "0" + s;
    return s;
  };
  m = pad(m);
  day = pad(day);
  y = pad(y);
  int yy = 0;
  if (CenturyFlag && y.size() <= 2 && Numeric(y, yy)) y = Four(CompleteYear(yy));
  d = m + "/" + day + "/" + y;
}

void DateToStyle(std::string& d) {
  std::string p[3];
  if (!SplitParts(d, p)) return;
  const std::string& m = p[0];
  const std::string& day = p[1];
  const std::string& y = p[2];
  if (m.empty() && day.empty() && y.empty()) {
    d = BlankDate(DateStyle);
    return;
  }
  const char sep = DateSeparatorOf(DateStyle);
  switch (PartOrder(DateStyle)) {
    case 0: d = m + sep + day + sep + y; break;
    case 1: d = y + sep + m + sep + day; break;
    default: d = day + sep + m + sep + y;
  }
}

int DayOfWeekNo(const std::string& date) {
  std::string n = date;
  NormalizeDate(n);
  int m, d, y;
  size_t digits;
  if (!InternalParts(n, m, d, y, digits)) return 0;
  if (digits <= 2) y = CompleteYear(y);
  if (m < 1 || m > 12) return 0;
  if (m < 3) {
    m += 12;
    y -= 1;
  }
  const int k = y % 100;
  const int j = y / 100;
  int h = (d + (m + 1) * 26 / 10 + k + k / 4 + j / 4 - 2 * j) % 7;
  if (h < 0) h += 7;
  return h == 0 ? 7 : h;
}

std::string DayName(int day, int style) { return Slot(DayNames(LanguageOfStyle(style)), day); }
std::string MonthName(int month, int style) { return Slot(MonthNames(LanguageOfStyle(style)), month); }

namespace {

// The name bytes of a style to UTF-8. Code page 866 holds the Cyrillic capitals and the first half
// of the small letters at 0x80..0xAF and the rest of the small letters at 0xE0..0xEF, Ё and ё at
// 0xF0 and 0xF1; the names use no other bytes above 0x7F.
std::string NameToUtf8(const std::string& bytes, int style) {
  if (LanguageOfStyle(style) != Russian) return Cp1252ToUtf8(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    char32_t c = b;
    if (b >= 0x80 && b <= 0xAF) c = 0x0410 + (b - 0x80);
    else if (b >= 0xE0 && b <= 0xEF) c = 0x0440 + (b - 0xE0);
    else if (b == 0xF0) c = 0x0401;
    else if (b == 0xF1) c = 0x0451;
    else if (b >= 0x80) c = '?';
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::string DayNameUtf8(int day, int style) { return NameToUtf8(DayName(day, style), style); }
std::string MonthNameUtf8(int month, int style) { return NameToUtf8(MonthName(month, style), style); }
std::string CDowUtf8(const std::string& date) { return NameToUtf8(CDow(date), DateStyle); }
std::string CMonthUtf8(const std::string& date) { return NameToUtf8(CMonth(date), DateStyle); }

std::string CDow(const std::string& date) {
  const int n = DayOfWeekNo(date);
  if (n == 0) return std::string(10, ' ');
  return DayName(n, DateStyle);
}

std::string CMonth(const std::string& date) {
  const int m = MonthOfDate(date);
  if (m < 1 || m > 12) return std::string(10, ' ');
  return MonthName(m, DateStyle);
}

namespace {
// Month, day and year of a date text after normalizing; false when not numeric.
bool NormalizedParts(const std::string& date, int& m, int& d, int& y) {
  std::string n = date;
  NormalizeDate(n);
  size_t digits;
  return InternalParts(n, m, d, y, digits);
}
}  // namespace

int MonthOfDate(const std::string& date) {
  int m, d, y;
  return NormalizedParts(date, m, d, y) ? m : 0;
}

int DayOfDate(const std::string& date) {
  int m, d, y;
  return NormalizedParts(date, m, d, y) ? d : 0;
}

int YearOfDate(const std::string& date) {
  int m, d, y;
  return NormalizedParts(date, m, d, y) ? y : 0;
}

long JulianOf(int year, int month, int day) {
  if (!ValidYmd(year, month, day)) return 0;
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  long doy = before[month - 1] + day + (month > 2 && IsLeapYear(year) ? 1 : 0);
  const long y = year - 1;
  return doy + 365 * y + y / 4 - y / 100 + y / 400 + JulianFirst;
}

long DateToJulian(const std::string& yyyymmdd) {
  if (yyyymmdd.size() < 8) return 0;
  int y, m, d;
  if (!Numeric(yyyymmdd.substr(0, 4), y) || !Numeric(yyyymmdd.substr(4, 2), m) ||
      !Numeric(yyyymmdd.substr(6, 2), d))
    return 0;
  return JulianOf(y, m, d);
}

long DateTextToJulian(const std::string& date) {
  const bool saved = CenturyFlag;
  CenturyFlag = true;
  std::string n = date;
  NormalizeDate(n);
  CenturyFlag = saved;
  int m, d, y;
  size_t digits;
  if (!InternalParts(n, m, d, y, digits)) return 0;
  return JulianOf(y, m, d);
}

void JulianToYmd(long jdn, int& year, int& month, int& day) {
  long n = jdn - JulianFirst - 1;  // days since 1 January of year 1
  const long c400 = n / 146097;
  n %= 146097;
  long c100 = n / 36524;
  if (c100 == 4) c100 = 3;
  n -= c100 * 36524;
  const long c4 = n / 1461;
  n %= 1461;
  long c1 = n / 365;
  if (c1 == 4) c1 = 3;
  n -= c1 * 365;
  year = static_cast<int>(c400 * 400 + c100 * 100 + c4 * 4 + c1 + 1);
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  month = 1;
  for (int i = 0; i < 12; ++i) {
    const int dm = days[i] + (i == 1 && IsLeapYear(year) ? 1 : 0);
    if (n < dm) break;
    n -= dm;
    ++month;
  }
  day = static_cast<int>(n + 1);
}

std::string JulianToDate(long jdn) {
  if (jdn >= JulianLast || jdn <= JulianFirst) return std::string(8, ' ');
  int y, m, d;
  JulianToYmd(jdn, y, m, d);
  std::string s(8, '0');
  const int parts[3][2] = {{y, 4}, {m, 2}, {d, 2}};
  size_t end = 0;
  for (const auto& p : parts) {
    end += static_cast<size_t>(p[1]);
    for (int i = 0, v = p[0]; i < p[1]; ++i, v /= 10) s[end - 1 - i] = static_cast<char>('0' + v % 10);
  }
  return s;
}

std::string DateTextOf(int style, int year, int month, int day, bool fourDigits) {
  const std::string y = fourDigits ? Four(year) : Two(year);
  const char sep = DateSeparatorOf(style);
  switch (PartOrder(style)) {
    case 0: return Two(month) + sep + Two(day) + sep + y;
    case 1: return y + sep + Two(month) + sep + Two(day);
    default: return Two(day) + sep + Two(month) + sep + y;
  }
}

std::string JDateToStr(long jdn) {
  // Style 8 writes day/month/year with "/" here.
  const int style = DateStyle == 8 ? 2 : DateStyle;
  if (jdn <= JulianFirst || jdn > JulianLast) {
    std::string s = BlankDate(style);
    return s;
  }
  int y, m, d;
  JulianToYmd(jdn, y, m, d);
  return DateTextOf(style, y, m, d, CenturyFlag);
}

bool ParseStyledDate(int style, const std::string& text, int& year, int& month, int& day) {
  std::string p[3];
  if (!SplitParts(text, p)) return false;
  int a, b, c;
  if (!Numeric(p[0], a) || !Numeric(p[1], b) || !Numeric(p[2], c)) return false;
  const std::string* ys = &p[2];
  switch (PartOrder(style)) {
    case 0: month = a; day = b; year = c; break;
    case 1: year = a; month = b; day = c; ys = &p[0]; break;
    default: day = a; month = b; year = c;
  }
  if (ys->size() <= 2) year = CompleteYear(year);
  return ValidYmd(year, month, day);
}

}  // namespace qern::kelpie
