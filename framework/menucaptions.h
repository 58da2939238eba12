// General menu captions (File, Edit, View, Help ...) in the ten user-interface languages.
// SetMenuLanguage copies one language's column into MenuCaptions; windows put these texts on their items.
#pragma once

#include <array>
#include <string>

namespace qern {

// One caption per menu row; "&" marks the accelerator letter. Texts are UTF-8.
struct MenuCaptionSet {
  std::string Menu = "Menü";
  std::string File = "&Datei";
  std::string FileNew = "&Neu...";
  std::string FileOpen = "Ö&ffnen...";
  std::string FileSave = "&Speichern...";
  std::string FileSaveAs = "Speichern &Unter...";
  std::string Settings = "E&instellungen";
  std::string Exit = "&Beenden";
  std::string Copy = "&Kopieren";
  std::string Print = "&Drucken...";
  std::string Edit = "&Bearbeiten";
  std::string Text = "Te&xt";
  std::string Quick = "Quick";
  std::string SelectAll = "Alles aus&wählen";
  std::string View = "&Ansicht";
  std::string Database = "Datenban&k";
  std::string Cad = "&CAD";
  std::string ProductionDrawing = "&Fertigungszeichnung";
  std::string Document = "D&okument";
  std::string DrawingData = "&Zeichnungsdaten";
  std::string ChangeInfo = "Änderungen - &Info";
  std::string ChangePrintout = "Änderungen - &Ausdruck";
  std::string ChangeNew = "&Neue Änderung";
  std::string ChangeEditLast = "Letzte Änderung &bearbeiten";
  std::string ChangeDeleteLast = "Letzte Änderung &löschen";
  std::string Help = "&Hilfe";
  std::string HelpPicture = "&Hilfebild";
  std::string ErrorMessages = "&Fehlermeldungen";
  std::string Printout = "&Ausdruck";
  std::string Language = "&Sprache";
  std::string Dimensions = "&Abmessungen";
  std::string Table = "&Tabelle";
  std::string Manual = "Handbuch";
  std::string Links = "Links";  // document-links menu; no language changes it
};

// The captions of the current menu language (German until another language is set).
extern MenuCaptionSet MenuCaptions;

// The ten language numbers, in the order of the caption table's columns.
constexpr std::array<int, 10> MenuLanguageNumbers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 12};

// Copies the captions of language n (1 German, 2 English, 3 French, 4 Italian, 5 Swedish,
// 6 Portuguese, 7 Romanian, 8 Korean, 9 Spanish, 12 Chinese) into MenuCaptions. A language that
// has no text for a row keeps that row's previous caption; any other n changes nothing.
void SetMenuLanguage(int n);

}  // namespace qern
