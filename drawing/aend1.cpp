// The change-log menu and the change-log printout through the listing engine.
#include "drawing/aend1.h"

#include "design/aendvar.h"
#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
ChangeLogWindows Windows;
}  // namespace

void SetChangeLogWindows(const ChangeLogWindows& windows) { Windows = windows; }

void ChangeLogMenu(int choice) {
  DrawingInfoRecord& d = DrawingInfo;
  if (choice == 0) {
    const char* const items[] = {"neu",      "ändern",         "löschen", "anzeigen",
                                 "Ausdruck", "Zeichnungsinfo", "zurück...."};
    for (int i = 0; i < 7; ++i) Session.ChoiceTexts[i] = items[i];
    SetHelpContext(2600);
    Flags.AbortFlag = false;
    int index = 4;
    SelectChoice("Änderungen", 7, index);
    if (Flags.AbortFlag || index == 7) return;
    choice = index;
  }
  switch (choice) {
    case 1: {
      if (d.ChangeCount >= MaxChangeEntries) {
        ErrorMessage("Max. Änderungen = " + IntStr(MaxChangeEntries) + " !");
        return;
      }
      // The next slot is taken as it is, dated today: after "löschen" the deleted entry's texts
      // come back for editing. Cancel puts the log back as it was.
      const ChangeEntry previous = d.ChangeEntries[d.ChangeCount];
      ++d.ChangeCount;
      d.ChangeEntries[d.ChangeCount - 1].Date = TodayStr();
      Flags.AbortFlag = false;
      if (Windows.EditEntry) Windows.EditEntry(d.ChangeCount);
      if (Flags.AbortFlag) {
        --d.ChangeCount;
        d.ChangeEntries[d.ChangeCount] = previous;
        return;
      }
      PrintChangeLog(DeviceWindow);
      break;
    }
    case 2:
      if (d.ChangeCount == 0) return;
      if (Windows.EditEntry) Windows.EditEntry(d.ChangeCount);
      PrintChangeLog(DeviceWindow);
      break;
    case 3:
      if (d.ChangeCount > 0) --d.ChangeCount;
      PrintChangeLog(DeviceWindow);
      break;
    case 4: PrintChangeLog(DeviceWindow); break;
    case 5: PrintChangeLog(0); break;
    case 6:
      if (Windows.ShowInfo) Windows.ShowInfo();
      break;
    default: break;
  }
}

std::string ChangeIndexText(int i) {
  if (Settings.IndexStyle == 1) return IntStr(i);
  return std::string(1, static_cast<char>(96 + i));
}

void PrintChangeLog(int device) {
  const DrawingInfoRecord& d = DrawingInfo;
  SetListHeader(Ident.Banner + " V" + Ident.VersionText, "Änderungsprotokoll",
                Session.CommentLines[0], Session.CommentLines[1], Session.CommentLines[2], 0);
  OpenListOutput(device, Session.CurrentFileName + ".TXT");
  if (Flags.AbortFlag) return;
  RewriteChecked(DataFile);
  if (Flags.AbortFlag) return;
  if (Listing.ListDevice != DeviceWindow) ListPageHeader(0, 0);

  ListLine("");
  ListLine("Erstellungsdatum: " + d.TitleDrawnDate + "     " + "Erstellt von" + ": " +
           d.TitleDrawnName);
  if (!d.TitleReplaces.empty()) {
    ListLine("");
    ListLine("Ersatz für: " + AlignLeft(d.TitleReplaces, 15));
  }
  if (!d.TitleReplacedBy.empty()) {
    ListLine("");
    ListLine("Ersetzt durch: " + AlignLeft(d.TitleReplacedBy, 15));
  }
  ListLine("");
  ListLine(AlignLeft("Index", 6) + "  " + AlignLeft("Datum", 10) + "   " + AlignLeft("Bearb.", 6) +
           "   " + AlignLeft("Änderung", 20));
  ListLine(DoubleSeparatorLine());
  for (int i = 1; i <= d.ChangeCount && i <= MaxChangeEntries; ++i) {
    const ChangeEntry& e = d.ChangeEntries[i - 1];
    ListLine("  " + ChangeIndexText(i) + "     " + AlignLeft(e.Date, 10) + "   " +
             AlignLeft(e.Editor, 6) + "   " + AlignLeft(e.ChangeText, 20));
    // " " + description; each of its further lines is a listing line of its own, so that the
    // page count stays right.
    std::string line = " ";
    for (char c : e.Description) {
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ListLine(line);
        line.clear();
      } else {
        line += c;
      }
    }
    ListLine(line);
    ListLine(SeparatorLine());
    if (Flags.AbortFlag) break;
  }
  CloseListOutput();
  RestoreCursor();
}

}  // namespace qern
