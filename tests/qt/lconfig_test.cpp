// Configuration window: values of every tab through the settings into qern.cfg and back, Cancel,
// Import followed by Cancel or Save, Export, the colour pickers, the field buttons and the
// title-block controls. QERN_CONFIG_SCREENSHOT=<folder> saves a picture of every tab.
#include "framework/qt/lconfig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cmath>
#include <cstdlib>

#include "framework/configio.h"
#include "framework/qt/lselcol.h"
#include "framework/qt/radiogroup.h"
#include "framework/textfile.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

class ConfigWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Ident.ProgramName = "qern";
    Settings.ConfigFolder = tmp_.Path() + "/";
  }
  // Settings equal but for the angles, which the file keeps to seven decimals.
  static void ExpectSameSettings(ProgramSettings a, ProgramSettings b) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(static_cast<double>(a.Default3DAngles[i]), static_cast<double>(b.Default3DAngles[i]), 1e-7);
      a.Default3DAngles[i] = b.Default3DAngles[i];
    }
    EXPECT_TRUE(a == b);
  }
  // Clicks OK in the next modal window after it is shown (the colour list at row).
  static void PickInNextColorWindow(int row) {
    QTimer::singleShot(0, [row] {
      auto* w = qobject_cast<TForm_selectcolor*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      w->ListBox_colors->setCurrentRow(row);
      w->Button_ok->click();
    });
  }

  test::TempFolder tmp_;
  ScopedScriptedDialogs dialogs_;
};

// Sets a value other than the start value in every control of every tab.
void ChangeEveryTab(Tconfig& w) {
  // Directories.
  w.Edit_dircad->setText("/cad/");
  w.Edit_dirdbf->setText("/dbf/");
  w.Edit_dirplt->setText("/plt/");
  w.Edit_dirtemp->setText("/tmp/mit blank/");
  w.Edit_dirdata->setText("/daten/");
  w.Edit_direxe->setText("/prog/");
  w.Edit_diredi->setText("/edi/");
  // Graphics.
  w.RadioGroup_bildschirmgrafik->SetItemIndex(1);
  w.Edit_x->setText("801");
  w.Edit_y->setText("601");
  w.Edit_font->setText("DejaVu Sans");
  w.Edit_textbreitenfaktor->setText("0.75");
  w.Edit_texthoehenfaktor->setText("1.25");
  w.Edit_zoomfaktor->setText("1.5");
  w.Edit_panfaktor->setText("0.25");
  w.CheckBox_umrandung->setChecked(true);
  w.SpinEdit_dialogfenster->setValue(120);
  w.SpinEdit_dialogelemente->setValue(110);
  w.CheckBox_3dxyz->setChecked(false);
  w.Edit_3dx->setText("30");
  w.Edit_3dy->setText("45");
  w.Edit_3dz->setText("-60");
  w.CheckBox_zeichfusszeile->setChecked(false);
  // CAD.
  for (int r = 0; r < 5; ++r) {
    w.StringGrid_layer->item(r, 0)->setText(QString("L%1").arg(r + 1));
    w.StringGrid_layer->item(r, 1)->setText(QString::number(7 + r));
    w.StringGrid_layer->item(r, 2)->setText(QString::number(4 + r));
  }
  w.CheckBox_layermonochrom->setChecked(true);
  w.Edit_cadfont->setText("ROMANS");
  w.Edit_cadtextbreite->setText("0.75");
  w.Edit_cadtextwinkel->setText("15");
  w.CheckBox_diagrammgrenzen->setChecked(true);
  w.SpinEdit_dxfdec->setValue(4);
  w.radiogroupcadtexttyp->SetItemIndex(2);
  w.CheckBox_3Dto2D->setChecked(false);
  // Colour layers.
  for (int r = 0; r < 16; ++r) {
    w.StringGrid_color->item(r, 0)->setText(QString::number(16 - r));
    w.StringGrid_color->item(r, 1)->setText(QString::number(r % 3 + 2));
  }
  // Printer.
  w.Edit_printxorigin->setText("5");
  w.Edit_printyorigin->setText("-7");
  w.Edit_printscale->setText("1.25");
  w.Edit_printscaley->setText("0.75");
  w.RadioGroup_printmono->SetItemIndex(1);
  w.RadioGroup_orientation->SetItemIndex(0);
  w.CheckBox_printerDialogbox->setChecked(false);
  w.ComboBox_lpt->setCurrentIndex(2);
  // Listings.
  w.RadioGroup_trenn->SetItemIndex(2);
  w.RadioGroup_date->SetItemIndex(0);
  w.ComboBox_ausdruckdefault->setCurrentIndex(5);
  w.CheckBox_ausdruckshowdialog->setChecked(true);
  w.Edit_left->setText("20");
  w.Edit_top->setText("50");
  w.Edit_width->setText("640");
  w.Edit_height->setText("400");
  w.SpinEdit_linesperpage->setValue(72);
  w.SpinEdit_spacelines->setValue(2);
  w.RadioGroup_ff->SetItemIndex(1);
  w.RadioGroup_ausgrad->SetItemIndex(1);
  // Settings.
  w.RadioGroup_punktkomma->SetItemIndex(1);
  w.RadioGroup_hilfegrad->SetItemIndex(2);
  w.CheckBox_archivmode->setChecked(true);
  w.SpinEdit_dezimalstellen->setValue(5);
  w.RadioGroup_ExcelDot->SetItemIndex(0);
  w.RadioGroup_chars->SetItemIndex(1);
  w.RadioGroup_ergebnisgrafik->SetItemIndex(3);
  w.CheckBox_aktuellfile->setChecked(true);
  w.ComboBox_unit->setCurrentIndex(1);
  w.CheckBox_saveMenuLanguage->setChecked(true);
  // External programs.
  w.Edit_externhtml->setText("/usr/bin/firefox");
  w.Edit_externtxt->setText("/usr/bin/gedit");
  w.Edit_handbuchdir->setText("/doc/qern.htm");
  // Drawing.
  w.Edit_freigabefeld->setText("Freigabe");
  w.Edit_massfaktorconfig->setText("1.5");
  w.ComboBox_zeichnkopf->setCurrentIndex(1);
  w.ComboBox_7200rand->setCurrentIndex(1);
  w.ComboBox_index->setCurrentIndex(2);
  for (QCheckBox* c : {w.CheckBox_zeichzorquantitel, w.CheckBox_zeichfilename, w.CheckBox_zeichdatum,
                       w.CheckBox_zeichlogo, w.CheckBox_zeichnungskopf, w.CheckBox_copyrightvermerk,
                       w.CheckBox_abc123, w.CheckBox_mmscale, w.CheckBox_aenderungen,
                       w.CheckBox_zeichhead034, w.CheckBox_zeichinsert034})
    c->setChecked(!c->isChecked());
}

TEST_F(ConfigWindow, EveryTabGoesThroughTheFileAndBack) {
  const ProgramSettings start = Settings;
  Tconfig w;
  w.PickColor = [](int& c) { c = 0x336699; return true; };
  w.PickFont = [](std::string& name, int& style, int& size) {
    name = "Liberation Mono";
    style = 3;
    size = 9;
    return true;
  };
  ChangeEveryTab(w);
  w.Button_textfontClick();
  w.Button_fontClick();
  w.Panel_colorClick(4);
  dialogs_->QueueText("/opt/plot/wgravura /tmp/gravura /CPS");
  w.ListBox_gravura->setCurrentRow(2);
  w.Button_editgravuracommandlineClick();
  EXPECT_TRUE(Settings == start) << "nothing taken before Save";

  w.Button_saveClick();
  ASSERT_TRUE(test::ReadWholeFile(ConfigurationFileName()).size() > 0);
  const ProgramSettings saved = Settings;
  EXPECT_TRUE(Flags.ArchiveMode);
  // What the window showed is what the settings hold.
  EXPECT_EQ(saved.ScreenWidth, 800);
  EXPECT_EQ(saved.TempFolder, "/tmp/mit blank/");
  EXPECT_EQ(saved.CadLayerNames[2], "L2");
  EXPECT_EQ(saved.ColorLayerColors[0], 16);
  EXPECT_EQ(saved.PrinterPort, 3);
  EXPECT_EQ(saved.DefaultTextDevice, 6);
  EXPECT_EQ(saved.PrintFontName, "Liberation Mono");
  EXPECT_EQ(saved.PrintFontSize, 9);
  EXPECT_EQ(saved.GraphicFontName, "Liberation Mono");
  EXPECT_EQ(saved.ColorPalette[4], 0x336699);
  EXPECT_EQ(saved.GravuraCommandLines[2], "/opt/plot/wgravura /tmp/gravura /CPS");
  EXPECT_EQ(saved.GravuraCommandCount, 3);
  EXPECT_TRUE(saved.DrawMakerTitle) << "an unchecked item is suppressed";
  EXPECT_FALSE(saved.DrawFooter == start.DrawFooter);
  EXPECT_NEAR(static_cast<double>(saved.Default3DAngles[0]), M_PI / 6, 1e-12);

  // Into a fresh program through the file.
  InitProgramState();
  Ident.ProgramName = "qern";
  Settings.ConfigFolder = tmp_.Path() + "/";
  Flags.ArchiveMode = false;
  ReadConfiguration();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(Flags.ArchiveMode);
  ExpectSameSettings(Settings, saved);

  // And shown again by a new window, then taken unchanged.
  Tconfig again;
  ProgramSettings taken;
  bool archive = false;
  again.TakeControls(taken, archive);
  ExpectSameSettings(taken, saved);
  EXPECT_TRUE(archive);
}

TEST_F(ConfigWindow, CancelTakesNothingButThePickedBackground) {
  const ProgramSettings start = Settings;
  {
    Tconfig w;
    w.PickColor = [](int& c) { c = 0x00FF00; return true; };
    ChangeEveryTab(w);
    w.Button_hintergrundfarbeClick();
    w.Button_cancelClick();
  }
  ProgramSettings expected = start;
  expected.BackgroundColor = 0x00FF00;
  EXPECT_TRUE(Settings == expected);
  EXPECT_FALSE(Flags.ArchiveMode);
  // Monochrome on a black background turns the background white at once.
  Settings.BackgroundColor = 1;
  Tconfig w;
  w.RadioGroup_bildschirmgrafik->Item(1)->click();
  EXPECT_EQ(Settings.BackgroundColor, 0xFFFFFF);
}

TEST_F(ConfigWindow, ImportFillsTheWindowOnlyAndKeepsTheFolderOfSave) {
  // Another configuration, in another folder under another name.
  test::TempFolder other;
  const ProgramSettings start = Settings;
  Settings.CadTextStyle = "IMPORTIERT";
  Settings.Decimals = 6;
  Settings.ConfigFolder = other.Path() + "/";
  Ident.ProgramName = "werk";
  WriteConfiguration();
  Settings = start;
  Ident.ProgramName = "qern";

  {
    Tconfig w;
    dialogs_->QueueText(other.File("werk.cfg"));
    w.Button_importClick();
    EXPECT_EQ(w.Edit_cadfont->text(), "IMPORTIERT");
    EXPECT_EQ(w.SpinEdit_dezimalstellen->value(), 6);
    EXPECT_EQ(dialogs_->Last().File.Patterns, std::vector<std::string>{"*.cfg"});
    EXPECT_TRUE(Settings == start) << "the import is in the window only";
    EXPECT_EQ(Ident.ProgramName, "qern");
    w.Button_cancelClick();
  }
  EXPECT_TRUE(Settings == start);

  Tconfig w;
  dialogs_->QueueText(other.File("werk.cfg"));
  w.Button_importClick();
  w.Button_saveClick();
  EXPECT_EQ(Settings.CadTextStyle, "IMPORTIERT");
  EXPECT_EQ(Settings.ConfigFolder, tmp_.Path() + "/");
  EXPECT_NE(test::ReadWholeFile(tmp_.File("qern.cfg")).find("IMPORTIERT"), std::string::npos);

  // Export writes what the window shows now.
  w.Edit_cadfont->setText("EXPORT");
  dialogs_->QueueText(other.File("aus"));
  w.Button_exportClick();
  EXPECT_NE(test::ReadWholeFile(other.File("aus.cfg")).find("EXPORT"), std::string::npos);
  EXPECT_EQ(Ident.ProgramName, "qern");
  EXPECT_EQ(Settings.ConfigFolder, tmp_.Path() + "/");
}

TEST_F(ConfigWindow, ColourPickersAndFieldButtons) {
  Tconfig w;
  // Colour 3 ("grün") for layer 2.
  w.StringGrid_layer->setCurrentCell(1, 1);
  PickInNextColorWindow(2);
  w.Button_selectlayercolor->click();
  EXPECT_EQ(w.StringGrid_layer->item(1, 1)->text(), "3");
  // The colour grid picks only in its colour column.
  w.StringGrid_color->setCurrentCell(3, 1);
  w.Button_selectcolor->click();
  EXPECT_EQ(w.StringGrid_color->item(3, 0)->text(), "4") << "no picker in the width column";
  w.StringGrid_color->setCurrentCell(3, 0);
  PickInNextColorWindow(15);
  w.Button_selectcolor->click();
  EXPECT_EQ(w.StringGrid_color->item(3, 0)->text(), "16");
  EXPECT_EQ(Session.ChoiceTexts[2], "grün");

  w.Button_layer[4]->click();  // Button_layer5: row 1
  EXPECT_EQ(w.StringGrid_layer->item(0, 0)->text() + w.StringGrid_layer->item(0, 1)->text() +
                w.StringGrid_layer->item(0, 2)->text(),
            "513");
  w.Button_dick3->click();
  EXPECT_EQ(w.StringGrid_color->item(15, 1)->text(), "3");
  w.Button_zoom->click();
  EXPECT_EQ(w.Edit_zoomfaktor->text(), "1.02");
  w.Edit_printscale->setText("1.5");
  w.Button_scaleyx->click();
  EXPECT_EQ(w.Edit_printscaley->text(), "1.5");
  w.Button_freigabefeld->click();
  EXPECT_EQ(w.Edit_freigabefeld->text(), "Frei");
  w.Edit_x->setText("1024");
  w.Edit_y->setText("768");
  w.Button_Textwindow->click();
  EXPECT_EQ(w.Edit_width->text(), "700");
  EXPECT_EQ(w.Edit_height->text(), "748");
  // The TEMP button keeps blanks inside the folder's name.
  setenv("TEMP", " /tmp/Eigene Dateien/ ", 1);
  w.Button_dirtempenv->click();
  unsetenv("TEMP");
  EXPECT_EQ(w.Edit_dirtemp->text(), "/tmp/Eigene Dateien/");
  // Corrections on taking.
  w.Edit_zoomfaktor->setText("0");
  w.Edit_massfaktorconfig->setText("0.001");
  w.Edit_left->setText("2000");
  w.Button_okClick();
  EXPECT_EQ(Settings.ZoomFactor, 1.0L);
  EXPECT_EQ(Settings.DimensionSizeFactor, 1.0L);
  EXPECT_EQ(Settings.TextWindowRect[0], 10);
}

TEST_F(ConfigWindow, TitleBlockChoiceShowsItsControls) {
  Tconfig w;
  w.show();
  w.PageControl->setCurrentWidget(w.Tab_zeichnung);
  auto choose = [&](int kind, int margin) {
    w.ComboBox_zeichnkopf->setCurrentIndex(kind);
    w.ComboBox_7200rand->setCurrentIndex(margin);
    w.AdjustTitleBlockControls();
  };
  choose(0, 1);
  EXPECT_TRUE(w.Edit_freigabefeld->isVisible());
  EXPECT_FALSE(w.ComboBox_7200rand->isEnabled());
  EXPECT_EQ(w.ComboBox_7200rand->currentIndex(), 0);
  EXPECT_FALSE(w.ComboBox_index->isVisible());
  EXPECT_FALSE(w.CheckBox_abc123->isVisible());
  choose(2, 0);
  EXPECT_FALSE(w.Edit_freigabefeld->isVisible());
  EXPECT_TRUE(w.ComboBox_7200rand->isEnabled());
  EXPECT_TRUE(w.ComboBox_index->isVisible());
  EXPECT_FALSE(w.CheckBox_mmscale->isVisible());
  choose(1, 1);
  EXPECT_TRUE(w.CheckBox_abc123->isVisible());
  EXPECT_TRUE(w.CheckBox_mmscale->isVisible());
}

TEST_F(ConfigWindow, HelpButtonsShowTheirEntries) {
  SetShippedDataFolder(QERN_SOURCE_DATA);
  Tconfig w;
  w.Button_grafikhilfe->click();
  w.Button_helpprint->click();
  SetShippedDataFolder("");
  const std::vector<std::string> shown = dialogs_->Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0].find("Konfiguration Grafik"), std::string::npos);
  EXPECT_NE(shown[1].find("Konfiguration Drucker"), std::string::npos);
}

TEST_F(ConfigWindow, Screenshot) {
  const char* folder = std::getenv("QERN_CONFIG_SCREENSHOT");
  if (!folder || !*folder) GTEST_SKIP() << "QERN_CONFIG_SCREENSHOT not set";
  Tconfig w;
  w.show();
  for (int i = 0; i < w.PageControl->count(); ++i) {
    w.PageControl->setCurrentIndex(i);
    QApplication::processEvents();
    const QString name = QString("%1/config-%2-%3.png").arg(folder).arg(i + 1).arg(w.PageControl->widget(i)->objectName());
    EXPECT_TRUE(w.grab().save(name));
  }
}

}  // namespace
}  // namespace qern
