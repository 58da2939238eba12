// The result listing of a design: page head with the part names, the table of shaft and hub,
// the tool, tooth and test-dimension sections and the explained messages; and the design labels.
#include "design/qernaus1.h"

#include <cmath>

#include "design/qernvar.h"
#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/uhelperr.h"
#include "framework/utilstr.h"

namespace qern {

DesignLabelTable DesignLabels;

void SetDesignLabels() { DesignLabels = DesignLabelTable{}; }

std::string DesignBanner() { return Ident.ProductName + "   " + DesignLabels.DesignKind; }

std::string ResultListingTitle() {
  return Ident.ProductName + " V" + Ident.VersionText + "  " + "Passverzahnung";
}

namespace {

constexpr long double Pi = 3.14159265358979323846264338327950288L;
constexpr long double DegPerRad = 180.0L / Pi;

// len(w, d): a length in the unit system of the display; num(w, d): a plain number.
std::string Len(int width, int decimals, long double mm) { return LengthStrFixed(width, decimals, mm); }
std::string Num(int width, int decimals, long double x) { return FloatStrFixed(width, decimals, x); }

void LengthRow(const std::string& label, const std::string& symbol, int width, int decimals,
               const PerPart<long double>& v) {
  ListTwoValueLine(label, symbol, LengthUnitStr(), Len(width, decimals, v[1]), Len(width, decimals, v[2]));
}

// Opening of each titled section: kept together with its rows, an empty line, title, separator.
void SectionHead(const std::string& title) {
  ListNeedLines(1);
  ListLine("");
  ListLine(title);
  ListLine(SeparatorLine());
}

void ResultRows(const DesignRecord& r) {
  const std::string deg = DegreeStr();
  const std::string unit = LengthUnitStr();
  ListValueLine("Eingriffswinkel", "alpha", deg, Num(6, 2, r.PressureAngleDeg));
  ListTwoValueLine(DesignLabels.GapAngle, "gam.e/i", deg, Num(6, 2, r.FlankAngleExternal * DegPerRad),
                   Num(6, 2, r.FlankAngleInternal * DegPerRad));
  ListValueLine("Normalmodul", "mn", unit, Len(4, 4, r.NormalModule));
  ListValueLine("Normalteilung", "pn", unit, Len(5, 3, r.NormalPitch));
  ListValueLine("Normal Pitch", "Pn", "1/in", Num(5, 3, r.DiametralPitch));
  ListTwoValueLine(DesignLabels.ToothCount, "z", "", IntStrBlank(r.ToothCount[1], 8),
                   IntStrBlank(r.ToothCount[2], 8));
  ListTwoValueLine("Profilverschiebungsfaktor", "x", "", Num(4, 4, r.ProfileShift[1]),
                   Num(4, 4, r.ProfileShift[2]));
  LengthRow(DesignLabels.PitchDiameter, "d", 5, 3, r.PitchDiameter);
  LengthRow(DesignLabels.RootDiameter, "df", 5, 3, r.RootDiameter);
  LengthRow("Formkreisdurchmesser", "dFf", 5, 3, r.FormDiameter);
  LengthRow("Grundkreisdurchmesser", "db", 5, 3, r.BaseDiameter);
  LengthRow(DesignLabels.TipDiameter, "da", 5, 3, r.TipDiameter);
  LengthRow("Kopfspiel", "c (e/i)", 5, 3, r.TipClearance);
  LengthRow("Zahnhöhe", "h", 5, 3, r.ToothHeight);
}

void ToolFactorSection(const DesignRecord& r) {
  SectionHead("ABMESSUNGEN DES VERZAHNUNGSWERKZEUGS (FAKTOREN)");
  auto row = [](const char* label, const char* symbol, const PerPart<long double>& v) {
    ListTwoValueLine(label, symbol, "", Num(3, 3, v[1]), Num(3, 3, v[2]));
  };
  row("Fußhöhenfaktor Werkzeug", "hfP0/mn", r.ToolDedendumFactor);
  row("Kopfhöhenfakt. Werkzeug", "haP0/mn", r.ToolAddendumFactor);
  row("Kopfrundungsradius Werkzeug", "rhoaP0/mn", r.ToolTipRadiusFactor);
}

void ToolSection(const DesignRecord& r) {
  SectionHead("ABMESSUNGEN DES VERZAHNUNGSWERKZEUGS");
  LengthRow("Fußhöhe des Werkzeugs", "hfP0", 3, 3, r.ToolDedendum);
  LengthRow("Kopfhöhe des Werkzeugs", "haP0", 3, 3, r.ToolAddendum);
  LengthRow("Kopfrundungsradius Werkzeug", "rhoaP0", 3, 3, r.ToolTipRadius);
}

void ToothSection(const DesignRecord& r) {
  SectionHead("ZAHNTEILUNGEN, ZAHNABMESSUNGEN");
  const std::string unit = LengthUnitStr();
  ListValueLine("Normalteilung", "pn", unit, Len(4, 3, r.NormalPitch));
  ListTwoValueLine(DesignLabels.ToothThickness[0], "sn", unit, Len(4, 3, r.ToothThickness[1]), "");
  ListTwoValueLine("Lückenweite", "en", unit, "", Len(4, 3, r.SpaceWidth[2]));
  ListValueLine("Flankenspiel", "cp", unit, Len(4, 3, r.FlankClearance));
  // Rotational backlash: the flank clearance as an angle on the shaft's pitch circle.
  const long double d1 = r.PitchDiameter[1];
  const long double jt = d1 != 0 ? 2 * r.FlankClearance / d1 * DegPerRad : 0;
  ListValueLine("Drehflankenspiel", "jt", DegreeStr(), Num(4, 3, jt));
}

void TestDimensionSection(const DesignRecord& r) {
  SectionHead("PRÜFMASSE");
  LengthRow("Kugel-und Rollendurchmesser", "Dm", 5, 3, r.PinDiameter);
  LengthRow("Diametr.Zweirollenmaß", "M", 5, 3, r.PinMeasurement);
}

}  // namespace

void ListResults(int device) {
  if (Flags.FatalError) {
    ShowCalculationMessages();
    return;
  }
  SetListHeader(ResultListingTitle(), FormatNrLine(PartDrawingName[1], PartDrawingNumber[1]),
                FormatNrLine(PartDrawingName[2], PartDrawingNumber[2]), Session.CommentLines[0],
                Session.CommentLines[1], 0);
  SetListColumns("", DesignLabels.ColumnSymbol, DesignLabels.ColumnUnit, " Welle", " Nabe");
  OpenListOutput(device, Session.CurrentFileName);
  if (Flags.AbortFlag) {
    // Nothing of this listing was written; whatever file the device named is left alone.
    SetArrowCursor();
    return;
  }
  RewriteChecked(DataFile);
  if (Flags.AbortFlag) return AbortListOutput();
  ListPageHeader(0, 1);
  if (Flags.AbortFlag) return AbortListOutput();

  const DesignRecord& r = Design;
  ResultRows(r);
  ToolFactorSection(r);
  ToolSection(r);
  ToothSection(r);
  TestDimensionSection(r);

  ListPageBreak();
  if (Flags.AbortFlag) return AbortListOutput();
  if (Errors.ErrorCount > 0) ListMessages();
  if (Flags.AbortFlag) return AbortListOutput();
  CloseListOutput();
  RestoreCursor();
}

}  // namespace qern
