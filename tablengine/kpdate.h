// Dates of the table engine: date texts in the styles of DateStyle, leap years, day of week, day and
// month names in six languages, Julian day numbers.
#pragma once

#include <cstdint>
#include <string>

namespace qern::kelpie {

constexpr long JulianFirst = 1721425;  // the day before 1 January of year 1
constexpr long JulianLast = 5373484;   // 31 December 9999

bool IsLeapYear(int year);
// Four-digit year of a two-digit year by the century pivot; larger years stay.
int CompleteYear(int yy);
// The two digits of the century a two-digit year belongs to ("19", "20").
std::string CenturyDigits(int yy);

// The blank date text of a style ("  .  .  " or, with the century flag, "  .  .    ").
std::string BlankDate(int style);
// A date typed in the current style to the internal form "mm/dd/yy" ("mm/dd/yyyy" with the century
// flag). All parts empty gives the blank internal date; without a separator the text stays.
void NormalizeDate(std::string& d);
// Internal form to the current style.
void DateToStyle(std::string& d);
// 1 = Sunday .. 7 = Saturday; 0 when the text is no date. Two-digit years are completed first.
int DayOfWeekNo(const std::string& date);
// Name of the weekday / month of a date text in the current style's language, full slot width;
// a blank date gives 10 blanks.
std::string CDow(const std::string& date);
std::string CMonth(const std::string& date);
// Day and month names by number (day 1 = Sunday) and style, full slot width.
std::string DayName(int day, int style);
std::string MonthName(int month, int style);
// The same names in UTF-8 for callers outside the engine: the engine's bytes are Windows-1252,
// except the Russian names (style 8), which are code page 866. The slot width counts characters.
std::string CDowUtf8(const std::string& date);
std::string CMonthUtf8(const std::string& date);
std::string DayNameUtf8(int day, int style);
std::string MonthNameUtf8(int month, int style);
// Parts of a date text (normalized first); 0 when not numeric. The year as typed.
int MonthOfDate(const std::string& date);
int DayOfDate(const std::string& date);
int YearOfDate(const std::string& date);

// "YYYYMMDD" to the Julian day number; 8 blanks or an invalid date give 0.
long DateToJulian(const std::string& yyyymmdd);
long JulianOf(int year, int month, int day);
// A date text of the current style (century forced on) to the day number.
long DateTextToJulian(const std::string& date);
// Day number to "YYYYMMDD"; outside the valid range 8 blanks.
std::string JulianToDate(long jdn);
void JulianToYmd(long jdn, int& year, int& month, int& day);
// Day number to the date text of the current style and century flag.
std::string JDateToStr(long jdn);
// The date text of a style from its parts (year written with four digits when fourDigits).
std::string DateTextOf(int style, int year, int month, int day, bool fourDigits);
// Reads day, month and year from a date text of a style; false when it is no valid date.
bool ParseStyledDate(int style, const std::string& text, int& year, int& month, int& day);

}  // namespace qern::kelpie
