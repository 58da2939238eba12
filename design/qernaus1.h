// Result listing of the current design ("Passverzahnung") through the listing output engine, and
// the label table of the design subsystem that the listing, the gear-data tables and the drawing
// pick list read.
#pragma once

#include <array>
#include <string>

namespace qern {

// German label texts of the design subsystem; start values are the texts set at start-up.
struct DesignLabelTable {
  std::string DesignKind = "Kerbverzahnung";  // Banner = ProductName + "   " + DesignKind
  std::string ColumnSymbol = "Zeichen";       // column head 2 of the listing
  std::string ColumnUnit = "Einheit";         // column head 3 of the listing
  std::string Shaft = "Welle";
  std::string Hub = "Nabe";
  std::string Dimensions = "ABMESSUNGEN";
  std::string Back = "zurück";
  std::string Drawing = "Zeichnung";
  std::string Table = "Tabelle";
  std::string ManufacturingDrawing = "Fertigungszeichnung";
  std::string PleaseChoose = "Bitte wählen";
  std::string Tolerance = "Toleranz";
  std::string TipDiameter = "Kopfkreisdurchmesser";
  std::string RootDiameter = "Fußkreisdurchmesser";
  std::string PitchDiameter = "Teilkreisdurchmesser";
  std::string GapAngle = "Lückenwinkel";
  std::string Pitch = "Teilung";
  std::string ToothCount = "Zähnezahl";
  std::string Module = "Modul";
  std::string RootRadius = "Fußradius";
  // The listing reads entry 0; the gear-data tables the whole table.
  std::array<std::string, 5> ToothThickness = {"Zahndicke", "Meßkreisdurchmesser", "Maß über Meßkreise",
                                               "Zahnlücke", "Maß zwischen Meßkreisen"};
};
extern DesignLabelTable DesignLabels;

// Puts the label table back to its start-up texts.
void SetDesignLabels();

// The program's banner: Ident.ProductName + "   " + DesignLabels.DesignKind ("QERN   Kerbverzahnung").
std::string DesignBanner();

// Title of the listing's page head: ProductName + " V" + VersionText + "  Passverzahnung".
std::string ResultListingTitle();

// Writes the result listing of Design as the last calculation left it (only the rotational
// backlash jt is worked out here). device is handed to OpenListOutput: 0 takes
// Settings.DefaultTextDevice, or asks "Ausgabe auf .." when Settings.AskTextDevice is set.
// With Flags.FatalError set nothing is written: ShowCalculationMessages shows the messages.
// A cancel or a write error sets Flags.AbortFlag and ends the listing; the output is then closed
// and its unfinished file removed (AbortListOutput).
void ListResults(int device = 0);

}  // namespace qern
