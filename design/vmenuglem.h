// The program's own menu words (gear-engineering nouns) in six languages. The main window builds
// several captions from them (shaft, hub, toothing, tooth, tooth profile).
#pragma once

#include <string>

namespace qern {

// One variable per word, holding the current language's text; "&" marks the accelerator letter.
// The start values are German. Texts are UTF-8.
struct MenuWordSet {
  std::string Berechnung = "&Berechnung";
  std::string Bezugsprofil = "&Bezugsprofil";
  std::string Profil = "&profil";
  std::string Din5480 = "&DIN 5480";
  std::string Zahneingriff = "Zahn&eingriff";
  std::string Festigkeit = "&Festigkeit   ";
  std::string Geometrie = "&Geometrie";
  std::string Getriebe = "&Getriebe";
  std::string IsoAuslegung = "&ISO-Auslegung";
  std::string Kegelradgetriebe = "Kegelrad&getriebe";
  std::string Last = "&Last";
  std::string Lastkollektiv = "Last&kollektiv";
  std::string Lebensdauer = "&Lebensdauer";
  std::string Messen = "&Messen    ";
  std::string Nabe = "&Nabe";
  std::string Passfeder = "&Passfeder";
  std::string Passung = "&Passung   ";
  std::string Planetengetriebe = "&Planetengetriebe";
  std::string Planetenstufe = "&Planetenstufe";
  std::string Pruefmasse = "Prü&fmaße";
  std::string Qualitaet = "&Qualität";
  std::string Rad = "&Rad";
  std::string Ritzel = "&Ritzel";
  std::string Schnecke = "&Schnecke";
  std::string Schneckenrad = "Schnecken&rad";
  std::string Spannung = "&Spannung";
  std::string Tabellenzeichnung = "Ta&bellenzeichnung";
  std::string Tabellen = "Ta&bellen";
  std::string Tellerrad = "&Tellerrad";
  std::string Temperatur = "&Temperatur   ";
  std::string Verzahnung = "&Verzahnung ";
  std::string Welle = "&Welle";
  std::string Werkstattblatt = "&Werkstattblatt";
  std::string Werkstofftyp = "Werkstoff&typ";
  std::string Zahn = "&Zahn";
  std::string Zahneingriff2 = "Zahn&eingriff";
  std::string Zahnform = "Zahn&form";
  std::string Kugelmass = "&Kugelmaß";
  std::string Rollenmass = "&Rollenmaß";
  std::string Zahnweite = "&Zahnweite";
  std::string GeometrieUndFestigkeit = "Geometrie &und Festigkeit";
  std::string Schneckengetriebe = "Schnecken&getriebe";
  std::string PolylinieFussausrundung = "Pol&ylinie Fussausrundung";
  std::string Profilverschiebung = "&Profilverschiebung";
  std::string Leistung = "&Leistung";
  std::string Einbaumass = "&Einbaumass";
  std::string Antrieb = "&Antrieb";
  std::string Waelzkurve = "&Wälzkurve";
  std::string Zahngeometrie = "&Zahngeometrie";
  std::string Teilkurven = "Teilkurven";
  std::string Zahnraeder = "Zahnräder";
  std::string Waelzlager = "&Wälzlager";
  std::string Kegelrad = "&Kegelrad";
  std::string Zahndicke = "Zahn&dicke";
  std::string Zahnstange = "Zahn&stange";
  std::string Sonderabmessungen = "&Sonderabmessungen";
  std::string Hohlrad = "&Hohlrad";
  std::string ToothRootStrength = "&Tooth Root Strength";
  std::string Pitting = "&Pitting";
  std::string InvoluteSpline = "&Involute Spline";
  std::string WoodruffKey = "&Woodruff Key";
  std::string RollAngle = "&Roll Angle";
  std::string Multistage = "&multistage";
  std::string SpecificSliding = "Specific &Sliding";
};

constexpr int MenuWordCount = 64;

// The words of the current language.
extern MenuWordSet MenuWords;

// Language 1 German, 2 English, 6 Portuguese, 7 Romanian, 8 Korean or 12 Chinese assigns all 64
// words of that language; any other number leaves the words as they are.
void SetMenuWords(int language);

}  // namespace qern
