// Tests of the expression compiler and evaluator: precedence and type rules, every function with its
// types, the error texts, and filters and scopes over a real table.
#include "tablengine/kpparser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

using namespace qern::kelpie;

namespace {

struct Row {
  const char* name;
  const char* city;
  double amount;
  int qty;
  bool paid;
  const char* born;  // YYYYMMDD
};

const Row kRows[] = {
    {"Anna", "Berlin", 120.50, 3, true, "19800115"},   {"Bernd", "Bonn", 80.00, 1, false, "19751130"},
    {"Carla", "Berlin", 300.25, 7, true, "19920229"},  {"Dieter", "Dresden", 0, 0, false, "        "},
    {"Eva", "Bremen", 99.99, 2, true, "20011224"},     {"Frank", "Berlin", 150, 4, false, "19680704"},
};

// Expressions without fields; the engine with German dates and four-digit years.
class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    ParserInit();
    SetErrorDispatch(false);
    SetDateFormat(5);
    CenturyFlag = true;
    Select(1);
  }
  void TearDown() override {
    CloseAll();
    SetErrorDispatch(true);
  }
  // The table PEOPLE of kRows in area 1, positioned on record 1.
  void MakePeopleTable() {
    ASSERT_TRUE(CreateDbf(dir_.File("people.dbf"), {{"NAME", 'C', 10, 0},
                                                     {"CITY", 'C', 12, 0},
                                                     {"AMOUNT", 'N', 8, 2},
                                                     {"QTY", 'N', 5, 0},
                                                     {"PAID", 'L', 1, 0},
                                                     {"BORN", 'D', 8, 0}}));
    ASSERT_TRUE(UseDbf(dir_.File("people.dbf"), "PEOPLE"));
    ASSERT_TRUE(ALock());
    for (const Row& r : kRows) {
      ClearRecord();
      PutFieldStr(1, r.name);
      PutFieldStr(2, r.city);
      PutFieldNum(3, r.amount);
      PutFieldInt(4, r.qty);
      PutFieldBool(5, r.paid);
      PutFieldDate(6, r.born);
      Append();
    }
    Unlock();
    GoTop();
    ASSERT_EQ(KelpieErrorCode, 0) << KelpieErrorText;
  }

  // Compiles and evaluates; fails the test on any error.
  ExprValue Eval(const std::string& text) {
    CompiledExpr* e = AssignExpr(text);
    EXPECT_NE(e, nullptr) << text << ": " << KelpieErrorText;
    if (e == nullptr) return {};
    const ExprValue* v = EvaluateValue(e);
    EXPECT_NE(v, nullptr) << text << ": " << KelpieErrorText;
    ExprValue copy = v ? *v : ExprValue{};
    FreeExpr(e);
    return copy;
  }

  // Error code and text of compiling (and, when that works, evaluating) text.
  std::pair<int, std::string> Fail(const std::string& text) {
    KelpieErrorCode = 0;
    KelpieErrorText.clear();
    CompiledExpr* e = AssignExpr(text);
    if (e != nullptr) {
      EvaluateValue(e);
      FreeExpr(e);
    }
    return {KelpieErrorCode, KelpieErrorText};
  }

  std::vector<uint32_t> VisibleRecords() {
    std::vector<uint32_t> seen;
    for (GoTop(); !dEOF(); SKIP(1)) seen.push_back(RecNo());
    return seen;
  }

  qern::test::TempFolder dir_;
};

class TableTest : public ParserTest {
 protected:
  void SetUp() override {
    ParserTest::SetUp();
    MakePeopleTable();
  }
};

struct NumberCase {
  const char* expr;
  double value;
};

TEST_F(ParserTest, PrecedenceAndGrouping) {
  const NumberCase cases[] = {
      {"1 + 2 * 3", 7},    {"(1 + 2) * 3", 9},   {"-2^2", 4},         {"-2**2", 4},
      {"2^3^2", 64},       {"10 - 2 - 3", 5},    {"24 / 4 / 2", 3},   {"2 * -3", -6},
      {"+5 - -5", 10},     {"1.5E2 + 1E-1", 150.1}, {"7 - 2 * 3 ^ 2", -11},
  };
  for (const auto& c : cases) {
    const ExprValue v = Eval(c.expr);
    EXPECT_EQ(v.Type, ExprNumeric) << c.expr;
    EXPECT_NEAR(v.Number, c.value, 1e-9) << c.expr;
  }
  const std::pair<const char*, bool> logical[] = {
      {".T. = 'a' $ 'abc'", true},             // a = (b $ c)
      {".T. .OR. .T. .AND. .F.", true},        // a .OR. (b .AND. c)
      {".NOT. .F. .AND. .F.", false},          // (.NOT. a) .AND. b
      {"1 < 2 = 3 < 4", true},                 // relations bind tighter than =
      {"1 + 1 = 2 .AND. 'x' # 'y'", true},     {"2 >= 2 .AND. 2 <= 2 .AND. 1 <> 2", true},
      {".T..AND..F.", false},
  };
  for (const auto& [expr, want] : logical) {
    const ExprValue v = Eval(expr);
    EXPECT_EQ(v.Type, ExprLogical) << expr;
    EXPECT_EQ(v.Logical, want) << expr;
  }
}

TEST_F(ParserTest, LogicalOperandsDecideAndNeverHideAnError) {
  // .AND. and .OR. chains, nested and mixed, with the right operand decided by the left one.
  const std::pair<const char*, bool> cases[] = {
      {".F. .AND. .T. .OR. .T.", true},   {".T. .OR. .F. .AND. .F.", true},
      {".F. .AND. .T. .AND. .T.", false}, {".T. .AND. .T. .AND. .F.", false},
      {".T. .OR. .F. .OR. .F.", true},    {".F. .OR. .F. .OR. .T.", true},
      {"(.F. .OR. .F.) .AND. (.T. .OR. .F.)", false}, {"(.F. .OR. .T.) .AND. (.F. .OR. .T.)", true},
      {".NOT. (.F. .AND. .T.) .AND. 1 < 2", true},    {"'a' = 'b' .OR. 2 * 3 = 6 .AND. .NOT. .F.", true},
      {"IIF(.F. .AND. .T., 'a', 'b') = 'b'", true},
  };
  for (const auto& [expr, want] : cases) {
    const ExprValue v = Eval(expr);
    EXPECT_EQ(v.Type, ExprLogical) << expr;
    EXPECT_EQ(v.Logical, want) << expr;
  }
  // A right operand that can fail is still evaluated.
  EXPECT_EQ(Fail(".F. .AND. 1 / 0 > 1").first, 358);
  EXPECT_EQ(Fail(".T. .OR. 1 / 0 > 1").first, 358);
  EXPECT_EQ(Fail(".F. .AND. (.T. .OR. REPLICATE('ab', 200) = 'x')").first, 354);
  EXPECT_EQ(Fail(".F. .AND. 1 / 0 > 1 .OR. .T.").first, 358);
}

TEST_F(ParserTest, TextOperatorsAndComparisons) {
  EXPECT_EQ(Eval("'ab' + 'cd'").Text, "abcd");
  EXPECT_EQ(Eval("'ab  ' - 'cd'").Text, "abcd  ");
  const std::pair<const char*, bool> cases[] = {
      {"'abc' = 'ab'", true},    {"'ab' = 'abc'", false},   {"'abc' = ''", false},
      {"'abc' == 'ab'", false},  {"'ab' == 'ab'", true},    {"'b' $ 'abc'", true},
      {"'' $ 'abc'", false},     {"'abd' > 'abc'", true},   {"'a' < 'b'", true},
      {"'ab' <> 'abc'", true},   {".T. = .T.", true},       {".T. # .F.", true},
  };
  for (const auto& [expr, want] : cases) EXPECT_EQ(Eval(expr).Logical, want) << expr;
}

struct FunctionCase {
  const char* Expr;
  int Type;
  double Number;
  const char* Text;
};

TEST_F(ParserTest, EveryFunctionWithItsTypes) {
  const FunctionCase cases[] = {
      {"ABS(-2.5)", ExprNumeric, 2.5, ""},
      {"ASC('A')", ExprNumeric, 65, ""},
      {"ASC('')", ExprNumeric, 0, ""},
      {"AT('c', 'abcd')", ExprNumeric, 3, ""},
      {"AT('x', 'abcd')", ExprNumeric, 0, ""},
      {"CDOW(CTOD('01.01.2000'))", ExprCharacter, 0, "Samstag   "},
      {"CHR(65.7)", ExprCharacter, 0, "A"},
      {"CMONTH(CTOD('15.01.2026'))", ExprCharacter, 0, "Januar   "},
      {"DTOS(CTOD('07.12.2026'))", ExprCharacter, 0, "20261207"},
      {"DAY(CTOD('07.12.2026'))", ExprNumeric, 7, ""},
      {"MONTH(CTOD('07.12.2026'))", ExprNumeric, 12, ""},
      {"YEAR(CTOD('07.12.2026'))", ExprNumeric, 2026, ""},
      {"DOW(CTOD('01.01.2000'))", ExprNumeric, 7, ""},
      {"DTOC(CTOD('07.12.2026'))", ExprCharacter, 0, "07.12.2026"},
      {"DTOS(CTOD('28.02.2024') + 1)", ExprCharacter, 0, "20240229"},
      {"DTOS(1 + CTOD('28.02.2023'))", ExprCharacter, 0, "20230301"},
      {"DTOS(CTOD('01.03.2024') - 1)", ExprCharacter, 0, "20240229"},
      {"CTOD('01.03.2024') - CTOD('01.02.2024')", ExprNumeric, 29, ""},
      {"DTOS(MAX(CTOD('01.03.2024'), CTOD('01.02.2024')))", ExprCharacter, 0, "20240301"},
      {"DTOS(MIN(CTOD('01.03.2024'), CTOD('01.02.2024')))", ExprCharacter, 0, "20240201"},
      {"IIF(.F., 'a', 'b')", ExprCharacter, 0, "b"},
      {"INT(-2.7)", ExprNumeric, -2, ""},
      {"LEFT('abcdef', 2)", ExprCharacter, 0, "ab"},
      {"LEFT('abc', 9)", ExprCharacter, 0, "abc"},
      {"LOWER('Ab\xC4')", ExprCharacter, 0, "ab\xE4"},  // Windows-1252 bytes
      {"UPPER('ab\xE4')", ExprCharacter, 0, "AB\xC4"},
      {"LTRIM('  ab ')", ExprCharacter, 0, "ab "},
      {"RTRIM('  ab  ')", ExprCharacter, 0, "  ab"},
      {"MAX(3, 7)", ExprNumeric, 7, ""},
      {"MIN(3, 7)", ExprNumeric, 3, ""},
      {"MOD(17, 5)", ExprNumeric, 2, ""},
      {"MOD(-17.9, 5)", ExprNumeric, -2, ""},
      {"REPLICATE('ab', 3)", ExprCharacter, 0, "ababab"},
      {"RIGHT('abcdef', 2)", ExprCharacter, 0, "ef"},
      {"ROUND(2.789, 2)", ExprNumeric, 2.78, ""},
      {"ROUND(-2.789, 1)", ExprNumeric, -2.7, ""},
      {"SOUNDEX('Robert')", ExprCharacter, 0, "R163"},
      {"SPACE(3) + 'x'", ExprCharacter, 0, "   x"},
      {"STR(5)", ExprCharacter, 0, "         5"},
      {"STR(3.14159, 8, 2)", ExprCharacter, 0, "    3.14"},
      {"STR(123456789012, 10)", ExprCharacter, 0, "**********"},
      {"STUFF('abcdef', 2, 3, 'XY')", ExprCharacter, 0, "aXYef"},
      {"STUFF('abc', 4, 0, 'd')", ExprCharacter, 0, "abcd"},
      {"SUBSTR('abcdef', 2, 3)", ExprCharacter, 0, "bcd"},
      {"SUBS('abcdef', 5, 9)", ExprCharacter, 0, "ef"},
      {"VAL('12.5  ')", ExprNumeric, 12.5, ""},
      {"VAL('x')", ExprNumeric, 0, ""},
  };
  for (const auto& c : cases) {
    const ExprValue v = Eval(c.Expr);
    ASSERT_EQ(v.Type, c.Type) << c.Expr;
    if (c.Type == ExprNumeric) {
      EXPECT_NEAR(v.Number, c.Number, 1e-9) << c.Expr;
    } else {
      EXPECT_EQ(v.Text, c.Text) << c.Expr;
    }
  }
  EXPECT_TRUE(Eval("SOUNDEX('Robert') = SOUNDEX('Rupert')").Logical);
  EXPECT_TRUE(Eval("YEAR(DATE()) >= 2024").Logical);
}

TEST_F(TableTest, FieldsInExpressions) {
  EXPECT_NEAR(Eval("QTY * AMOUNT").Number, 361.5, 1e-9);
  EXPECT_TRUE(Eval("NAME = 'Ann'").Logical);
  EXPECT_TRUE(Eval("people->paid .AND. people.qty = 3").Logical);
  EXPECT_EQ(Eval("NAME + '|'").Text, "Anna      |");
  EXPECT_EQ(Eval("IIF(QTY > 2, 'viel', 'wenig')").Text, "viel");
  EXPECT_EQ(Eval("LEN(NAME)").Number, 10);
  EXPECT_EQ(Eval("TRIM(NAME) + '!'").Text, "Anna!");
  EXPECT_EQ(Eval("STR(AMOUNT, 7, 1)").Text, "  120.5");
  EXPECT_EQ(Eval("YEAR(BORN)").Number, 1980);
  EXPECT_FALSE(Eval("DELETED()").Logical);
  GO(3);
  EXPECT_EQ(Eval("RECNO()").Number, 3);
  EXPECT_EQ(Eval("DTOS(BORN)").Text, "19920229");
  GO(4);
  EXPECT_EQ(Eval("DTOS(BORN)").Text, "        ");  // a blank date
  EXPECT_EQ(Eval("QTY / (QTY + 1)").Number, 0);
}

// Exact halves round away from zero in STR and in stored N fields alike, and zero has no sign;
// ROUND keeps cutting. (1.005 is not a half in binary: it lies just below.)
TEST_F(TableTest, HalvesRoundAwayFromZeroAndZeroHasNoSign) {
  EXPECT_EQ(Eval("STR(2.5)").Text, "         3");
  EXPECT_EQ(Eval("STR(-2.5)").Text, "        -3");
  EXPECT_EQ(Eval("STR(0.125, 5, 2)").Text, " 0.13");
  EXPECT_EQ(Eval("STR(-0.125, 6, 2)").Text, " -0.13");
  EXPECT_EQ(Eval("STR(1.005, 5, 2)").Text, " 1.00");
  EXPECT_EQ(Eval("STR(0 / -2, 6, 1)").Text, "   0.0");
  EXPECT_EQ(Eval("STR(-0.04, 5, 1)").Text, "  0.0");
  EXPECT_EQ(Eval("STR(ROUND(2.5, 0), 3)").Text, "  2");
  ASSERT_TRUE(ALock());
  for (const auto& [value, stored] : std::vector<std::pair<double, std::string>>{
           {0.125, "    0.13"}, {-0.125, "   -0.13"}, {-0.001, "    0.00"}, {2.5, "    2.50"}}) {
    PutFieldNum(3, value);
    Replace();
    EXPECT_EQ(Peek(3, 1), stored) << value;
    EXPECT_EQ(FieldStr(3), stored) << value;
  }
  PutFieldNum(4, 2.5);  // QTY has no decimals
  Replace();
  EXPECT_EQ(Peek(4, 1), "    3");
  Unlock();
}

TEST_F(TableTest, ResultTypeLengthAndHookResults) {
  CompiledExpr* e = AssignExpr("UPPER(NAME) + CITY");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->ResultType, 'C');
  EXPECT_EQ(e->ResultLength, 22);
  EXPECT_EQ(ParserHookTable.ResultText(ParserHookTable.Evaluate(e)), "ANNA      Berlin      ");
  ParserHookTable.Free(e);
  FreeExpr(e);  // a second free is ignored

  e = ParserHookTable.Compile("AMOUNT * 2");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->ResultType, 'N');
  EXPECT_EQ(e->ResultDecimals, 2);
  EXPECT_DOUBLE_EQ(*static_cast<const double*>(ParserHookTable.Evaluate(e)), 241.0);
  ParserHookTable.Free(e);

  e = AssignExpr("PAID");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(*static_cast<const uint8_t*>(Evaluate(e)), 1);
  FreeExpr(e);
  EXPECT_EQ(Evaluate(nullptr), nullptr);
}

TEST_F(ParserTest, CompileErrorTexts) {
  const std::string prefix = "Fehler in dBASE-Ausdruck : ";
  const std::pair<const char*, const char*> cases[] = {
      {"'a' + 1", "PARSER:Unvereinbare Typen in Ausdruck \"+\"\r\n['a' + 1]\r\n [AssignExpr]"},
      {"-'a'", "PARSER:Unvereinbare Typen in Ausdruck \"Unary -\""},
      {"+'a'", "PARSER:Unvereinbare Typen in Ausdruck \"Unary +\""},
      {"'a' ^ 2", "PARSER:Unvereinbare Typen in Ausdruck \"** or ^\""},
      {".NOT. 1", "PARSER:Unvereinbare Typen in Ausdruck \".NOT.\""},
      {".F. < .T.", "PARSER:Unvereinbare Typen in Ausdruck \"<\""},
      {"1 == 1", "PARSER:Unvereinbare Typen in Ausdruck \"==\""},
      {"IIF(.T., 1, 2)", "PARSER:Unvereinbare Typen in Funktion \"IIF\""},
      {"SUBS(1, 2, 3)", "PARSER:Unvereinbare Typen in Funktion \"SUBSTR\""},
      {"1 +", "Syntax error"},
      {"(1", "Syntax error"},
      {"NOSUCHFIELD", "Syntax error"},
      {"nobody->Name", "Syntax error"},
      {"LEFT('a')", "Syntax error"},
      {"1 @ 2", "Syntax error"},
  };
  for (const auto& [expr, message] : cases) {
    const auto [code, text] = Fail(expr);
    EXPECT_EQ(code, 351) << expr;
    EXPECT_EQ(text.rfind(prefix + message, 0), 0u) << expr << "\n" << text;
    EXPECT_NE(text.find(" [AssignExpr]"), std::string::npos) << expr;
  }
}

TEST_F(ParserTest, EveryFunctionRefusesOtherTypes) {
  const std::pair<const char*, const char*> cases[] = {
      {"ABS('a')", "ABS"},           {"ASC(1)", "ASC"},
      {"AT(1, 'a')", "AT"},          {"CDOW(1)", "CDOW"},
      {"CHR('a')", "CHR"},           {"CMONTH('a')", "CMONTH"},
      {"CTOD(1)", "CTOD"},           {"DAY(1)", "DAY"},
      {"DOW('a')", "DOW"},           {"DTOC(1)", "DTOC"},
      {"DTOS('a')", "DTOS"},         {"IIF(1, 'a', 'b')", "IIF"},
      {"INT('a')", "INT"},           {"LEFT(1, 1)", "LEFT"},
      {"LEN(1)", "LEN"},             {"LOWER(1)", "LOWER"},
      {"LTRIM(1)", "LTRIM"},         {"MAX(1, DATE())", "MAX"},
      {"MIN('a', 'b')", "MIN"},      {"MOD('a', 1)", "MOD"},
      {"MONTH(1)", "MONTH"},         {"REPLICATE(1, 1)", "REPLICATE"},
      {"RIGHT('a', 'b')", "RIGHT"},  {"ROUND('a', 1)", "ROUND"},
      {"RTRIM(1)", "RTRIM"},         {"SOUNDEX(1)", "SOUNDEX"},
      {"SPACE('a')", "SPACE"},       {"STR('a')", "STR"},
      {"STR(1, 'a')", "STR"},        {"STUFF('a', 1, 1, 1)", "STUFF"},
      {"SUBSTR('a', 'b', 1)", "SUBSTR"}, {"TRIM(1)", "TRIM"},
      {"UPPER(1)", "UPPER"},         {"VAL(1)", "VAL"},
      {"YEAR(1)", "YEAR"},
  };
  for (const auto& [expr, name] : cases) {
    const auto [code, text] = Fail(expr);
    EXPECT_EQ(code, 351) << expr;
    EXPECT_NE(text.find(std::string("PARSER:Unvereinbare Typen in Funktion \"") + name + "\""), std::string::npos)
        << expr << "\n" << text;
  }
  // Wrong argument counts do not fit the grammar.
  for (const char* expr : {"STR()", "STR(1, 2, 3, 4)", "DATE(1)", "RECNO(1)", "ABS(1, 2)", "DATE"})
    EXPECT_NE(Fail(expr).second.find("Syntax error"), std::string::npos) << expr;
}

TEST_F(ParserTest, ErrorWindowIsCutAroundThePosition) {
  std::string text;
  while (text.size() < 118) text += "1+";
  text += "1)";  // the ")" ends position 120
  while (text.size() < 200) text += "+1";
  const auto [code, message] = Fail(text);
  EXPECT_EQ(code, 351);
  EXPECT_EQ(message, "Fehler in dBASE-Ausdruck : Syntax error\r\n[..." + text.substr(70, 51) +
                         "...]\r\n [AssignExpr]");
}

TEST_F(ParserTest, LimitsAndEvaluationErrors) {
  // Input beyond 255 characters is refused instead of being cut.
  EXPECT_EQ(Fail(std::string(254, ' ') + "1").first, 0);
  const auto [longCode, longText] = Fail(std::string(255, ' ') + "1");
  EXPECT_EQ(longCode, 351);
  EXPECT_NE(longText.find("255"), std::string::npos);
  // Deep nesting stops with an error instead of overflowing the stack.
  const auto [deepCode, deepText] = Fail(std::string(200, '-') + "1");
  EXPECT_EQ(deepCode, 351);
  EXPECT_NE(deepText.find("Parser_stack_overflow"), std::string::npos);
  EXPECT_EQ(Fail(std::string(120, '(') + "1" + std::string(120, ')')).first, 0);  // the deepest that fits

  const std::pair<const char*, int> cases[] = {
      {"1 / 0", 358}, {"MOD(5, 0)", 358}, {"MOD(5, 0.5)", 358},
      {"REPLICATE('ab', 200)", 354}, {"SPACE(1E9)", 354}, {"REPLICATE('abc', 1E12)", 354},
  };
  for (const auto& [expr, code] : cases) EXPECT_EQ(Fail(expr).first, code) << expr;
  EXPECT_EQ(Fail("1 / 0").second, "Auswertungsfehler: Division durch 0 [Evaluate/Engine]");
  EXPECT_EQ(Fail("REPLICATE('ab', 200)").second, "Arbeitspool übergelaufen [PARSER/Allocate]");
  // A compile error of the parser's range pending from before is cleared by the next compile.
  KelpieErrorCode = 351;
  CompiledExpr* e = AssignExpr("1");
  EXPECT_EQ(KelpieErrorCode, 0);
  FreeExpr(e);
}

TEST_F(TableTest, FieldNamesKeywordsAndAliases) {
  // A field called DATE is the field; followed by "(" it is the function.
  ASSERT_TRUE(CreateDbf(dir_.File("dated.dbf"), {{"DATE", 'D', 8, 0}, {"NAME", 'C', 5, 0}}));
  Select(2);
  ASSERT_TRUE(UseDbf(dir_.File("dated.dbf"), "DATED"));
  ASSERT_TRUE(ALock());
  ClearRecord();
  PutFieldDate(1, "20200102");
  PutFieldStr(2, "Zed");
  Append();
  Unlock();
  EXPECT_EQ(Eval("DTOS(DATE)").Text, "20200102");
  EXPECT_GT(Eval("DATE()").Number, Eval("DATE").Number);
  EXPECT_EQ(Eval("people->Name + name").Text, "Anna      Zed  ");
  EXPECT_EQ(Eval("PEOPLE.CITY").Text, "Berlin      ");
  // Evaluated while another table is current, a field of another type is refused, not misread.
  CompiledExpr* e = AssignExpr("DATE");
  Select(1);
  ASSERT_NE(e, nullptr);
  KelpieErrorCode = 0;
  EXPECT_EQ(EvaluateValue(e), nullptr);  // field 1 of PEOPLE is no date
  EXPECT_EQ(KelpieErrorCode, 356);
  FreeExpr(e);
}

TEST_F(TableTest, FieldAgainstTextLiteral) {
  // On record 1, NAME is "Anna" in 10 characters: = compares the literal's length, == the whole.
  const std::pair<const char*, bool> cases[] = {
      {"NAME = 'Ann'", true},        {"NAME = 'Anna'", true},          {"NAME = ''", false},
      {"NAME = 'Anna       x'", false}, {"NAME <> 'Ann'", false},        {"NAME <> 'Bea'", true},
      {"NAME == 'Anna'", false},     {"NAME == 'Anna      '", true},   {"'Anna' = NAME", false},
      {"people->CITY = 'Ber' .AND. NAME # 'X'", true},
  };
  for (const auto& [expr, want] : cases) EXPECT_EQ(Eval(expr).Logical, want) << expr;
  // Numbers likewise: AMOUNT 120.50, QTY 3.
  const std::pair<const char*, bool> numbers[] = {
      {"AMOUNT = 120.5", true}, {"AMOUNT > 120.5", false}, {"AMOUNT >= 120.5", true}, {"AMOUNT < 121", true},
      {"QTY <> 3", false},      {"QTY # 4", true},         {"QTY <= 2", false},       {"QTY > -1", true},
      {"3 = QTY", true},        {"QTY * 2 = 6", true},
  };
  for (const auto& [expr, want] : numbers) EXPECT_EQ(Eval(expr).Logical, want) << expr;
  PutFieldInt(4, 9);
  EXPECT_TRUE(Eval("QTY = 9").Logical);
  // A changed field not yet written counts with its new text.
  PutFieldStr(1, "Zora");
  EXPECT_TRUE(Eval("NAME = 'Zo'").Logical);
  EXPECT_FALSE(Eval("NAME = 'An'").Logical);
  // Evaluated while a table whose field 1 is no text is current: refused, not misread.
  CompiledExpr* e = AssignExpr("NAME = 'Zo'");
  CompiledExpr* n = AssignExpr("AMOUNT > 5");
  ASSERT_TRUE(CreateDbf(dir_.File("d.dbf"), {{"AM", 'D', 8, 0}, {"AN", 'D', 8, 0}, {"AO", 'D', 8, 0}}));
  ASSERT_NE(n, nullptr);
  Select(2);
  ASSERT_TRUE(UseDbf(dir_.File("d.dbf")));
  for (CompiledExpr* x : {e, n}) {
    KelpieErrorCode = 0;
    EXPECT_EQ(EvaluateValue(x), nullptr);
    EXPECT_EQ(KelpieErrorCode, 356);
    FreeExpr(x);
  }
  KelpieErrorCode = 0;
}

TEST_F(TableTest, FilteredNavigationLeavesTheWholeRecord) {
  // The filter reads only its fields while it tests; the record it stops on has every field.
  const auto check = [](uint32_t r) {
    const Row& row = kRows[r - 1];
    EXPECT_EQ(RTrim(FieldStr(1)), row.name) << r;
    EXPECT_EQ(RTrim(FieldStr(2)), row.city) << r;
    EXPECT_DOUBLE_EQ(FieldNum(3), row.amount) << r;
    EXPECT_EQ(FieldInt(4), row.qty) << r;
    EXPECT_EQ(FieldBool(5), row.paid) << r;
    EXPECT_EQ(FieldDate(6), row.born) << r;
  };
  for (const char* filter : {"CITY = 'Berlin'", "QTY > 2", "PAID", "YEAR(BORN) < 1990 .AND. YEAR(BORN) > 0",
                             "people->AMOUNT > 100 .AND. CITY = 'B'"}) {
    ASSERT_TRUE(SetFilterExpr(filter)) << filter;
    for (GoTop(); !dEOF(); SKIP(1)) check(RecNo());
    for (GO(6); !dBOF(); SKIP(-1)) check(RecNo());
  }
  ASSERT_TRUE(SetFilterExpr("CITY = 'Berlin'"));
  EXPECT_EQ(VisibleRecords(), (std::vector<uint32_t>{1, 3, 6}));
  GO(2);
  SKIP(1);
  EXPECT_EQ(RecNo(), 3u);
  check(3);
  SKIP(1);
  check(6);
  // At the end the blank record; a failing filter leaves the record it failed on whole.
  SKIP(1);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RTrim(FieldStr(1)), "");
  ASSERT_TRUE(SetFilterExpr("AMOUNT / QTY > 50 .AND. NAME = 'x'"));
  GO(3);
  KelpieErrorCode = 0;
  SKIP(1);  // record 4 has QTY 0
  EXPECT_EQ(KelpieErrorCode, 358);
  EXPECT_EQ(RecNo(), 4u);
  check(4);
  SetErrorDispatch(true);
  GO(3);
  EXPECT_THROW(SKIP(1), EKelpieError);
  SetErrorDispatch(false);
  EXPECT_EQ(RecNo(), 4u);
  check(4);
  KelpieErrorCode = 0;
  ASSERT_TRUE(SetFilterExpr(""));
}

TEST_F(TableTest, FiltersAndScopesSelectRecords) {
  ASSERT_TRUE(SetFilterExpr("CITY = 'Berlin' .AND. AMOUNT > 130"));
  EXPECT_EQ(VisibleRecords(), (std::vector<uint32_t>{3, 6}));
  ASSERT_TRUE(SetFilterExpr("PAID .OR. YEAR(BORN) < 1970 .AND. YEAR(BORN) > 0"));
  EXPECT_EQ(VisibleRecords(), (std::vector<uint32_t>{1, 3, 5, 6}));
  ASSERT_TRUE(SetFilterExpr("'e' $ LOWER(NAME) .AND. .NOT. DELETED()"));
  EXPECT_EQ(VisibleRecords(), (std::vector<uint32_t>{2, 4, 5}));
  ASSERT_TRUE(SetFilterExpr("RECNO() > 4"));
  EXPECT_EQ(VisibleRecords(), (std::vector<uint32_t>{5, 6}));
  ASSERT_TRUE(SetFilterExpr(""));
  EXPECT_EQ(VisibleRecords().size(), 6u);

  ASSERT_TRUE(SetScopeExpr("QTY >= 2 .AND. QTY <= 4"));
  GO(2);
  EXPECT_TRUE(RevalidatePosition());
  EXPECT_EQ(RecNo(), 5u);
  ASSERT_TRUE(SetScopeExpr(""));

  // A bad filter is refused with the compiler's error and leaves the table unfiltered.
  EXPECT_FALSE(SetFilterExpr("CITY = 1"));
  EXPECT_EQ(KelpieErrorCode, 351);
  KelpieErrorCode = 0;
  EXPECT_EQ(VisibleRecords().size(), 6u);
  // A filter or scope that is no condition is refused as a type error, not read as a byte.
  for (const char* notLogical : {"QTY", "CITY", "BORN", "AMOUNT * 2"}) {
    EXPECT_FALSE(SetFilterExpr(notLogical)) << notLogical;
    EXPECT_EQ(KelpieErrorCode, 351) << notLogical;
    EXPECT_NE(KelpieErrorText.find("Unvereinbare Typen"), std::string::npos) << notLogical;
    KelpieErrorCode = 0;
    EXPECT_FALSE(SetScopeExpr(notLogical)) << notLogical;
    KelpieErrorCode = 0;
    EXPECT_EQ(VisibleRecords().size(), 6u);
  }
}

}  // namespace
