// Menu captions per language: each language's column, kept captions and ignored numbers.
#include "framework/menucaptions.h"

#include <gtest/gtest.h>

using namespace qern;

namespace {

struct Expected {
  int language;
  const char *menu, *file, *saveAs, *exit, *copy, *edit, *cad, *errorMessages, *table, *manual;
};

// Copy is "&Kopieren" where the language keeps the German caption (started from German).
const Expected kExpected[] = {
    {1, "Menü", "&Datei", "Speichern &Unter...", "&Beenden", "&Kopieren", "&Bearbeiten", "&CAD",
     "&Fehlermeldungen", "&Tabelle", "Handbuch"},
    {2, "Menu", "&File", "Save &As...", "E&xit", "&Copy", "&Edit", "&CAD", "&Error messages", "&Table",
     "E-Manual"},
    {3, "Menu", "&Fichier", "En&registrer sous...", "&Quitter", "&Copier", "&Edition", "&CAD",
     "&Message d'erreurs", "&Table", "Manuel"},
    {4, "Menu", "&File", "Sal&va con nome...", "&Esci", "&Copiare", "&Modifica", "&CAD",
     "&Messaggi di Errore", "&Table", "E-Manual"},
    {5, "Meny", "&Arkiv", "Spara s&om...", "&Avsluta", "&Kopieren", "&Redigera", "&CAD", "&Felmeddelanden",
     "&Table", "E-Manual"},
    {6, "Menu", "&Arquivo", "Salvar &como...", "S&aida", "&Copiar", "&Editar", "&CAD", "&Mensagens de erro",
     "&Table", "E-Manual"},
    {7, "Meniu", "&Fisier", "Salveaza &ca...", "Ie&sire", "&Kopieren", "&Editare", "&CAD", "&mesaje de eroare",
     "&Tabele", "E-Manual"},
    {8, "메뉴", "파일(&F)", "다른이름으로 저장(&A)", "끝내기(&x)", "복사(&C)", "편집(&E)", "&CAD", "에러메시지(&E)",
     "테이블(&b)", "E-Manual"},
    {9, "Menú", "&Archivo", "Guardar &Como...", "&Salir", "&Copiar", "&Editar", "&CAD", "Mensajes de &Error",
     "&Table", "E-Manual"},
    {12, "菜单", "文件", "另存为...", "退出", "复制", "编辑’", "CAD绘图’", "错误信息", "表格’", "E-Manual"},
};

class MenuCaptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMenuLanguage(1); }
  void TearDown() override { SetMenuLanguage(1); }
};

TEST_F(MenuCaptionsTest, EachLanguageFromGermanGivesItsColumn) {
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(e.language);
    SetMenuLanguage(1);
    SetMenuLanguage(e.language);
    EXPECT_EQ(MenuCaptions.Menu, e.menu);
    EXPECT_EQ(MenuCaptions.File, e.file);
    EXPECT_EQ(MenuCaptions.FileSaveAs, e.saveAs);
    EXPECT_EQ(MenuCaptions.Exit, e.exit);
    EXPECT_EQ(MenuCaptions.Copy, e.copy);
    EXPECT_EQ(MenuCaptions.Edit, e.edit);
    EXPECT_EQ(MenuCaptions.Cad, e.cad);
    EXPECT_EQ(MenuCaptions.ErrorMessages, e.errorMessages);
    EXPECT_EQ(MenuCaptions.Table, e.table);
    EXPECT_EQ(MenuCaptions.Manual, e.manual);
    EXPECT_EQ(MenuCaptions.Links, "Links");
  }
}

TEST_F(MenuCaptionsTest, SingleCellsOfTheTable) {
  SetMenuLanguage(12);
  EXPECT_EQ(MenuCaptions.ChangeEditLast, "编辑变更 ");  // ends with a blank
  EXPECT_EQ(MenuCaptions.HelpPicture, "附加图片’");
  SetMenuLanguage(7);
  EXPECT_EQ(MenuCaptions.Quick, "&Vizualizare Rapida");
  SetMenuLanguage(5);
  EXPECT_EQ(MenuCaptions.SelectAll, "Select &All");
  EXPECT_EQ(MenuCaptions.ChangeInfo, "Visa &ändringar");
  SetMenuLanguage(8);
  EXPECT_EQ(MenuCaptions.ChangeNew, "수정-새로 만들기(&N)");
}

TEST_F(MenuCaptionsTest, SwedishAndRomanianKeepThePreviousCopyCaption) {
  SetMenuLanguage(5);
  EXPECT_EQ(MenuCaptions.Copy, "&Kopieren");
  SetMenuLanguage(2);
  SetMenuLanguage(7);
  EXPECT_EQ(MenuCaptions.Copy, "&Copy");
  EXPECT_EQ(MenuCaptions.File, "&Fisier");
}

TEST_F(MenuCaptionsTest, GermanRestoresEveryCaptionAfterChinese) {
  const MenuCaptionSet german;
  SetMenuLanguage(12);
  EXPECT_NE(MenuCaptions.Help, german.Help);
  SetMenuLanguage(1);
  EXPECT_EQ(MenuCaptions.Menu, german.Menu);
  EXPECT_EQ(MenuCaptions.FileOpen, "Ö&ffnen...");
  EXPECT_EQ(MenuCaptions.ChangeEditLast, german.ChangeEditLast);
  EXPECT_EQ(MenuCaptions.Help, "&Hilfe");
  EXPECT_EQ(MenuCaptions.Manual, "Handbuch");
}

TEST_F(MenuCaptionsTest, UnknownLanguageNumbersChangeNothing) {
  SetMenuLanguage(2);
  for (int n : {0, 10, 11, 13, -1}) {
    SetMenuLanguage(n);
    EXPECT_EQ(MenuCaptions.File, "&File");
    EXPECT_EQ(MenuCaptions.Help, "&Help");
  }
}

}  // namespace
