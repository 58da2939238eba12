// Number and text formatting: the one number format of the program (FloatStrFixed and its
// wrappers), text-to-number conversion, string helpers and the display/output text conversions.
// Texts are UTF-8; every length and position counts characters.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace qern {

// ---- Decimal separator -------------------------------------------------------------------
// Takes the separator from the user's locale (LC_NUMERIC); the program calls it once at start.
// The C library's numeric locale is left as it was.
void InitDecimalSeparator();
void SetDecimalSeparator(char separator);  // default '.'; tests set ','
std::string DecimalSeparator();

// ---- Numbers to text ---------------------------------------------------------------------
// Places before and after the separator that show |x| with n significant digits.
void SignificantDigits(int& intDigits, int& decimals, int n, long double x);
// Fixed-point text of x, decimals shifted by Settings.Decimals, padded left to
// width + 1 + decimals characters (width when decimals = 0); never cut.
std::string FloatStrFixed(int width, int decimals, long double x);
std::string FloatStr(long double x);                     // 3 significant digits (4 for >= 1)
std::string FloatStrSig(int k, long double x);           // 3 - k significant digits
std::string FloatStr6(long double x);                    // 6 significant digits
std::string FloatStrDecimals(int decimals, long double x);
std::string FloatStrWidth(int width, long double x);     // right-aligned in width characters
// The same texts with a point as separator, for CAD and other files that must carry points.
std::string FloatStrDot(long double x);
std::string FloatStrDecimalsDot(int decimals, long double x);
std::string FloatStrFixedDot(int width, int decimals, long double x);
// The same two texts appended to out (the file writers' road, without a temporary text).
void AppendFloatStrDecimalsDot(std::string& out, int decimals, long double x);
void AppendFloatStrFixedDot(std::string& out, int width, int decimals, long double x);
// FloatStrDecimalsDot's text into out (room for ScaledFixedMaxChars) where it is plain rounding
// (nearly always); the end, or nullptr where AppendFloatStrDecimalsDot must decide.
// (x by reference: a long double handed on by value is copied in two 8-byte halves, and loading it
// whole from them just after stalls the processor, number after number.)
char* DecimalsDotChars(char* out, int decimals, const long double& x);
// FloatStrFixedDot's text into out (room for ScaledFixedMaxChars) where it is plain rounding and
// needs no padding; the end, or nullptr where AppendFloatStrFixedDot must decide.
char* FixedDotChars(char* out, int width, int decimals, const long double& x);
// The last seven digits of n with leading zeros into out (sequence numbers of fixed-column
// records); the end.
char* SevenDigitChars(char* out, unsigned n);
// General float text (up to 15 significant digits, exponent form only where shorter).
std::string GeneralFloatStr(long double x);
// The quick road of the fixed-point texts (file writers format many numbers): n := |x| * 10^decimals
// rounded to a whole number, true only where that is certain, so that every rounding rule gives
// it; false beyond 2^40 or within a hair of a tie, where the caller takes its exact road.
// Inline: the writers call it for every number, and a long double handed to a call goes through
// memory.
inline bool RoundScaled(long double x, int decimals, unsigned long long& n) {
  static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                      1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  if (decimals < 0 || decimals > 18) return false;
  // In double precision (powers of ten up to 10^18 are exact): below 2^40 the product is off by
  // less than 2.5e-4 and the decimal digits the exact road starts from by less than 1e-5, so
  // rounding is only in doubt within 1e-3 of a tie.
  const double s = std::fabs(static_cast<double>(x)) * powers[decimals];
  if (!(s < 1099511627776.0)) return false;  // 2^40; also infinite and undefined values
  // The nearest whole number: at 2^52 the unit of the last place is 1, so the sum drops the
  // fraction by rounding.
  const double nearest = (s + 4503599627370496.0) - 4503599627370496.0;
  if (std::fabs(s - nearest) > 0.5 - 1e-3) return false;
  n = static_cast<unsigned long long>(nearest);
  return true;
}
// n / 10^decimals as fixed-point text with at least one integer digit and the given separator,
// "-" in front when negative and n > 0 (a value that rounds to zero carries no sign).
std::string ScaledFixedText(bool negative, unsigned long long n, int decimals, char separator);
// The same text into out (room for ScaledFixedMaxChars); the end of the text.
constexpr int ScaledFixedMaxChars = 48;
char* ScaledFixedChars(char* out, bool negative, unsigned long long n, int decimals, char separator);

// Lengths are held in millimetres; with Settings.UnitSystem = 1 they are shown in inches.
std::string LengthStr(long double mm);
std::string LengthStrDecimals(int decimals, long double mm);
std::string LengthStr6(long double mm);
std::string LengthStrFixed(int width, int decimals, long double mm);
std::string LengthUnitStr();                             // "in" or "mm"
long double StrToLength(const std::string& s);           // input in inches is stored in mm

std::string DegreeStr();                                 // "deg" or "°" by SpecialCharMode
std::string AngleStr(long double deg);                   // decimal or degrees/minutes/seconds
std::string DateStr(int year, int month, int day);       // by Settings.DateFormat

std::string IntStr(long long n);
std::string IntStrZero(long long n, int width);          // leading zeros up to width
std::string IntStrBlank(long long n, int width);         // leading blanks up to width
std::string NumberToLetter(int n);                       // 1 -> "A"

// ---- Text to numbers ---------------------------------------------------------------------
// The first "," becomes "."; then a strict conversion (leading blanks skipped, nothing may
// follow the number). Any error gives 0.
long double StrToReal(const std::string& s);
long double ParseReal(const std::string& s);
int StrToInteger(const std::string& s);
int StrToLongint(const std::string& s);
int ParseLongint(const std::string& s);

// ---- Strings -----------------------------------------------------------------------------
std::string UpperStr(const std::string& s);              // ASCII letters only
std::string LowerStr(const std::string& s);
std::string LeftStr(const std::string& s, int n);
std::string RightStr(const std::string& s, int n);
std::string AlignLeft(const std::string& s, int width);  // cut or padded to exactly width
std::string AlignRight(const std::string& s, int width); // trimmed, padded left; cut when longer
std::string TrimBlanks(const std::string& s);            // blanks only, not tabs
void TrimVar(std::string& s);
void DeleteBlanks(std::string& s);
std::string WithoutBlanks(const std::string& s);
// Every character oldCh of s becomes newCh (each one character, UTF-8).
void ReplaceChar(std::string_view oldCh, std::string_view newCh, std::string& s);
void ReplaceChar(char oldCh, char newCh, std::string& s);
std::string PointToComma(const std::string& s);
std::string CommaToPoint(const std::string& s);
int LastOccurrence(const std::string& sub, const std::string& s);  // 1-based, 0 = none
int CountChar(std::string_view ch, const std::string& s);
int CountChar(char ch, const std::string& s);
// Writes sub over s from 1-based pos; nothing when pos < 1 or sub would pass the end of s.
void OverwriteStr(const std::string& sub, std::string& s, int pos);
// s, or its head, " ... " and its tail when longer than maxLen.
void AbbreviateText(const std::string& s, int maxLen, std::string& result);
// Splits s into Session.WrapLines (as many lines as needed), breaking after the last
// breakChar below maxLen, else hard at maxLen.
void WrapText(const std::string& s, char breakChar, int maxLen, int& lineCount, int& maxWidth);

// Command-line parameters (without the program name) for ParamPresent; set by the program's main.
void SetProgramParams(const std::vector<std::string>& params);
const std::vector<std::string>& ProgramParams();
bool ParamPresent(const std::string& sw);                // upper-cased (ASCII) comparison
std::string CopyAnsiText(const std::string& s);          // unchanged copy

// ---- Display and output texts ------------------------------------------------------------
// For display: box-drawing characters become "|", "+" or "-"; with SpecialCharMode = 1
// umlauts and signs are spelled out first ("ä" -> "ae", "°" -> "deg"). Texts of any length.
std::string ConvertDisplayText(const std::string& s);
std::string OemStrToAnsi(const std::string& s);          // same as ConvertDisplayText
// Edited text back to storage: unchanged, as storage is UTF-8 too (files apply their code
// page with platform/codepage.h where they are written).
std::string AnsiStrToOem(const std::string& s);
// For CAD texts, by Settings.CadTextMode: 2 ConvertDisplayText, 3 TransliterateUmlauts,
// otherwise unchanged. The result is UTF-8; a writer that needs code-page bytes encodes it
// where it writes (mode 1 stands for code page 850: Utf8ToCp850; else Utf8ToCp1252).
std::string ConvertOutputText(const std::string& s);
std::string TransliterateUmlauts(const std::string& s);  // "ä" -> "ae", "°" -> "deg", ...
std::string ReplaceOemChars(const std::string& s);       // box-drawing characters to | + -

}  // namespace qern
