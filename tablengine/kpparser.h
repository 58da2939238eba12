// dBase expression compiler and evaluator: compiles an expression text (fields, literals, operators,
// the functions ABS to YEAR) into postfix code and evaluates it against the current records.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <vector>

namespace qern::kelpie {

// Value types of the compiler and evaluator stacks.
enum ExprValueType : int {
  ExprCharacter = 331,
  ExprNumeric = 332,
  ExprLogical = 333,
  ExprDate = 334,  // Julian day number held in number
  ExprMemo = 335,
};

struct ExprValue {
  int Type = ExprLogical;
  double Number = 0;     // N, and D as Julian day number
  bool Logical = false;  // L
  std::string Text;      // C and M, bytes as stored in the table
};

// One postfix instruction; op is an operator character, a keyword token or one of the Push codes.
struct ExprInstruction {
  int Op = 0;
  int Type = 0;      // operand type for operators that serve several types
  int Area = 0;      // field pushes: work area (0 = the current one at evaluation)
  int Field = 0;     // field pushes: field number from 1
  int ArgCount = 0;  // functions with optional arguments (STR)
  double Number = 0;
  std::string Text;
};

struct CompiledExpr {
  std::string Text;         // the source text
  char ResultType = 'L';    // C, N, L, D or M
  int ResultLength = 0;
  int ResultDecimals = 0;
  std::size_t PoolSize = 0;  // longest text an evaluation may produce
  std::size_t StackDepth = 0;
  std::vector<ExprInstruction> Code;
  std::vector<ExprValue> Stack;  // the evaluation stack, kept between evaluations
  ExprValue Result;  // left by the last evaluation
  // What Evaluate points to: a logical as one byte (1 = true), numbers and dates as a double,
  // texts zero-terminated (Result.Text).
  uint8_t LogicalResult = 0;
  double NumberResult = 0;
};

// Limits: longer input and deeper nesting are refused with error 351.
inline constexpr std::size_t kExprMaxLength = 255;
inline constexpr int kExprMaxNesting = 150;

// Compiles text; nil (with error 351) on failure. A pending error code 350..363 is cleared first.
CompiledExpr* AssignExpr(const std::string& text);
// Frees an expression made by AssignExpr; nil and unknown pointers are ignored.
void FreeExpr(CompiledExpr* expr);
// Evaluates expr against the current records; nil in gives nil out, and so does an evaluation error
// (358 division by zero, 354 a text longer than the work pool, 356 a field whose type changed).
// The result is a one-byte logical, a double (numbers, dates as Julian day numbers) or a
// zero-terminated text, by the expression's result type.
const void* Evaluate(CompiledExpr* expr);
// The same result as a typed value.
const ExprValue* EvaluateValue(CompiledExpr* expr);
// Copy of a text result that Evaluate pointed to.
std::string ExprResultText(const void* result);

// Installs the compiler into the engine's parser hooks; runs once at start.
void ParserInit();

}  // namespace qern::kelpie
