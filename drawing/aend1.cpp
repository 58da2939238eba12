// The change-log printout through the listing engine.
#include "drawing/aend1.h"

#include "design/aendvar.h"
#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

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
    // Each line of the description is a line of the listing, so page counting stays right.
    std::string rest = e.Description;
    for (;;) {
      const std::size_t br = rest.find('\n');
      std::string line = rest.substr(0, br);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ListLine(" " + line);
      if (br == std::string::npos) break;
      rest.erase(0, br + 1);
    }
    ListLine(SeparatorLine());
    if (Flags.AbortFlag) break;
  }
  CloseListOutput();
  RestoreCursor();
}

}  // namespace qern
