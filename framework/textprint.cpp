// Printing of text files page by page, display copies of text files and the font-style number.
#include "framework/textprint.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
TextPrintTarget* printTarget = nullptr;

bool ReadAllLines(const std::string& fileName, std::vector<std::string>& lines) {
  TextFile f;
  f.Assign(fileName);
  if (!f.Reset()) return false;
  std::string line;
  while (!f.Eof()) {
    if (!f.ReadLine(line)) break;
    lines.push_back(line);
  }
  f.Close();
  return true;
}
}  // namespace

int FontStyleToInt(const FontStyle& style) {
  return (style.Bold ? 1 : 0) | (style.Italic ? 2 : 0) | (style.Underline ? 4 : 0) |
         (style.StrikeOut ? 8 : 0);
}

FontStyle IntToFontStyle(int n, const FontStyle& current) {
  if (n < 0 || n > 15) return current;
  return {(n & 1) != 0, (n & 2) != 0, (n & 4) != 0, (n & 8) != 0};
}

PrintFontSpec CurrentPrintFont() {
  return {Settings.PrintFontName, Settings.PrintFontSize, IntToFontStyle(Settings.PrintFontStyle, {})};
}

int ConvertTextFile(const std::string& source, const std::string& dest, bool sync) {
  TextFile in, out;
  in.Assign(source);
  if (!in.Reset()) {
    Flags.AbortFlag = true;
    return in.IoResult();
  }
  // Written through a working file that replaces dest's name only when complete: a failed write
  // leaves the previous file as it was, and a link of that name is replaced, never written through.
  out.Assign(dest);
  out.SetReplacing(true);
  out.SetSync(sync);
  if (!out.Rewrite()) {
    in.Close();
    Flags.AbortFlag = true;
    return out.IoResult();
  }
  int io = IoOk;
  std::string line;
  while (io == IoOk && !in.Eof()) {
    if (!in.ReadLine(line))
      io = in.IoResult();
    else if (!out.WriteLn(ConvertDisplayText(line)))
      io = out.IoResult();
  }
  in.Close();
  if (io != IoOk)
    out.Close();
  else if (!out.Commit())
    io = out.IoResult();
  if (io != IoOk) Flags.AbortFlag = true;
  return io;
}

void SetTextPrintTarget(TextPrintTarget* target) { printTarget = target; }
TextPrintTarget* GetTextPrintTarget() { return printTarget; }

std::vector<std::vector<std::string>> SplitTextPages(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> pages(1);
  for (const auto& line : lines) {
    if (!line.empty() && line[0] == '\f')
      pages.emplace_back();
    else
      pages.back().push_back(line);
  }
  if (pages.back().empty()) pages.pop_back();
  return pages;
}

void PrintTextFile(const std::string& fileName) {
  if (!FileCanOpen(fileName)) {
    ShowMessageBox(fileName + " not found !");
    return;
  }
  if (Flags.AbortFlag) return;
  std::vector<std::string> lines;
  if (!ReadAllLines(fileName, lines)) return;
  // Every page is counted, also the last one that no form feed closes.
  const auto pages = SplitTextPages(lines);
  if (pages.empty()) return;
  if (!printTarget) {
    ErrorMessage("Kein Drucker verfügbar");
    return;
  }
  const int count = static_cast<int>(pages.size());
  int first = 1, last = count;
  if (!printTarget->ChoosePages(Session.CurrentFileName, count, first, last)) return;
  first = std::max(first, 1);
  last = std::min(last, count);
  if (first > last) return;
  if (!printTarget->BeginDocument(CurrentPrintFont(), std::max(Settings.LinesPerPage, 1))) {
    ErrorMessage("Drucker kann nicht gestartet werden");
    return;
  }
  for (int page = first; page <= last; ++page) {
    if (page > first) printTarget->NewPage();
    int row = 0;
    for (const auto& line : pages[page - 1]) printTarget->PrintRow(row++, ConvertDisplayText(line));
  }
  if (const std::string failure = printTarget->EndDocument(); !failure.empty()) {
    ErrorMessage(failure);
    Flags.AbortFlag = true;
  }
}

}  // namespace qern
