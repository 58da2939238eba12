// The print window "Ausdruck": its controls, the opening values by PrintPreset, presets from the
// table "printout.dbf", and the printout by replaying the display list on the printer.
#include "app/qt/printcon.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/paintercanvas.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "framework/wprinvar.h"
#include "framework/zorqgraf.h"
#include "tablengine/dbfaccess.h"

namespace qern {

namespace {

QString Caption(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }
std::string Text(const QLineEdit* e) { return TrimBlanks(e->text().toStdString()); }

// The PDF file that stands in for the printer when the system has none; it follows the design.
// A PDF file chosen in the printer dialog stays.
QString pdfInsteadOfPrinter;

void ChooseOutput(QPrinter& printer) {
  if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName() != pdfInsteadOfPrinter)
    return;
  const QString file = DesignPdfFileName();
  if (printer.outputFormat() == QPrinter::PdfFormat) printer.setOutputFileName(file);
  if (printer.outputFormat() == QPrinter::PdfFormat || UsePdfWhenNoPrinter(printer, file))
    pdfInsteadOfPrinter = file;
}

QString PrinterName(const QPrinter& printer) {
  if (printer.outputFormat() == QPrinter::PdfFormat) return "PDF " + printer.outputFileName();
  return printer.printerName();
}

QGroupBox* RadioGroup(QWidget* parent, const char* name, const std::string& caption,
                      std::initializer_list<const char*> items, QButtonGroup*& group) {
  auto* box = new QGroupBox(Caption(caption), parent);
  box->setObjectName(name);
  group = new QButtonGroup(box);
  auto* layout = new QVBoxLayout(box);
  int id = 0;
  for (const char* item : items) {
    auto* b = new QRadioButton(Caption(item), box);
    group->addButton(b, id++);
    layout->addWidget(b);
  }
  return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

QString DesignPdfFileName() {
  // The design's name, also when the command line named it with its folder and extension.
  const std::string stem =
      Session.CurrentFileName.empty() ? Ident.ProgramName : FileNameWithoutExt(Session.CurrentFileName);
  return QString::fromStdString(AddBackslash(Settings.TempFolder) + stem + ".pdf");
}

void PrintToDesignPdf(QPrinter& printer) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  pdfInsteadOfPrinter = DesignPdfFileName();
  printer.setOutputFileName(pdfInsteadOfPrinter);
}

namespace {
QPrinter* graphicPrinter = nullptr;
}

QPrinter& GraphicPrinter() {
  // Freed while the application still exists: the printer's engine needs it.
  if (!graphicPrinter) {
    graphicPrinter = new QPrinter(QPrinter::HighResolution);
    qAddPostRoutine([] {
      delete graphicPrinter;
      graphicPrinter = nullptr;
    });
  }
  return *graphicPrinter;
}

int TForm_printconf::ItemIndex(QButtonGroup* group) { return group->checkedId(); }

void TForm_printconf::SetItemIndex(QButtonGroup* group, int index) {
  if (QAbstractButton* b = group->button(index)) b->setChecked(true);
}

TForm_printconf::TForm_printconf(QWidget* parent) : QDialog(parent) {
  setObjectName("Form_printconf");
  setWindowTitle(Caption("Ausdruck"));
  Label_scalex = new QLabel(Caption("Maßstab x"), this);
  Label_scaley = new QLabel(Caption("Maßstab y"), this);
  Label_xorigin = new QLabel(Caption("Ursprung x"), this);
  Label_yorigin = new QLabel(Caption("Ursprung y"), this);
  Edit_scalex = new QLineEdit(this);
  Edit_scalex->setObjectName("Edit_scalex");
  Edit_scaley = new QLineEdit(this);
  Edit_scaley->setObjectName("Edit_scaley");
  Edit_xorigin = new QLineEdit(this);
  Edit_xorigin->setObjectName("Edit_xorigin");
  Edit_yorigin = new QLineEdit(this);
  Edit_yorigin->setObjectName("Edit_yorigin");
  RadioGroup_hochquer =
      RadioGroup(this, "RadioGroup_hochquer", "Ausdruck", {"Hochformat", "Querformat"}, hochquerItems);
  RadioGroup_printmono = RadioGroup(this, "RadioGroup_printmono", "Schattierung",
                                    {"Monochrom", "Color / Graustufen"}, printmonoItems);
  CheckBox_umrandung = new QCheckBox(Caption("Umrandung"), this);
  CheckBox_umrandung->setObjectName("CheckBox_umrandung");
  CheckBox_anpassen = new QCheckBox(Caption("anpassen"), this);
  CheckBox_anpassen->setObjectName("CheckBox_anpassen");
  Label_printer = new QLabel(this);
  Label_printer->setObjectName("Label_printer");
  Label_printer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Button_printer = Button(this, "Button_printer", Caption("Drucker" + std::string("...")));
  Button_db = Button(this, "Button_db", Caption("Datenbank"));
  // The first part is a platform text already and is not converted.
  Button_append = Button(this, "Button_append", "Ü&bernehmen " + Caption("Datenbank"));
  Button_ok = Button(this, "Button_ok", "OK");
  Button_ok->setDefault(true);
  Button_cancel = Button(this, "Button_cancel", Caption("Abbrechen"));
  Button_help = Button(this, "Button_help", Caption("&Hilfe"));
  connect(Button_printer, &QPushButton::clicked, this, &TForm_printconf::Button_printerClick);
  connect(Button_db, &QPushButton::clicked, this, &TForm_printconf::Button_dbClick);
  connect(Button_append, &QPushButton::clicked, this, &TForm_printconf::Button_appendClick);
  connect(Button_ok, &QPushButton::clicked, this, &TForm_printconf::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_printconf::Button_cancelClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_printconf::Button_helpClick);

  auto* values = new QGridLayout;
  values->addWidget(Label_scalex, 0, 0);
  values->addWidget(Edit_scalex, 0, 1);
  values->addWidget(Label_scaley, 1, 0);
  values->addWidget(Edit_scaley, 1, 1);
  values->addWidget(Label_xorigin, 2, 0);
  values->addWidget(Edit_xorigin, 2, 1);
  values->addWidget(Label_yorigin, 3, 0);
  values->addWidget(Edit_yorigin, 3, 1);
  auto* groups = new QHBoxLayout;
  groups->addWidget(RadioGroup_hochquer);
  groups->addWidget(RadioGroup_printmono);
  auto* boxes = new QHBoxLayout;
  boxes->addWidget(CheckBox_umrandung);
  boxes->addWidget(CheckBox_anpassen);
  boxes->addStretch();
  auto* printer = new QHBoxLayout;
  printer->addWidget(Label_printer, 1);
  printer->addWidget(Button_printer);
  auto* table = new QHBoxLayout;
  table->addWidget(Button_db);
  table->addWidget(Button_append);
  table->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  buttons->addWidget(Button_help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(values);
  layout->addLayout(groups);
  layout->addLayout(boxes);
  layout->addLayout(printer);
  layout->addLayout(table);
  layout->addLayout(buttons);
  FormCreate();
  // The output's name widens the window (a PDF file with its folder): set before the window is
  // sized and centred, so that it shows centred.
  FormActivate();
  resize(sizeHint());
  CentreDialog(this);
}

void TForm_printconf::FormCreate() {
  QPrinter& printer = GraphicPrinter();
  switch (Flags.PrintPreset) {
    case 2:  // the fixed A4 title-block sheet
      PrintVars.PrintScaleX = 0.95;
      PrintVars.PrintScaleY = 1.0;
      PrintVars.PrintOffsetX = 0;
      PrintVars.PrintOffsetY = 0;
      Flags.PrintFrame = false;
      printer.setPageOrientation(QPageLayout::Portrait);
      break;
    case 0: case 1: case 3:  // the saved user settings
      PrintVars.PrintScaleX = Settings.ScreendumpScale;
      PrintVars.PrintScaleY = Settings.ScreendumpScaleY;
      PrintVars.PrintOffsetX = Settings.ScreendumpOriginX;
      PrintVars.PrintOffsetY = Settings.ScreendumpOriginY;
      Flags.PrintFrame = Settings.ScreendumpBorder;
      printer.setPageOrientation(Settings.PrintOrientation == 1 ? QPageLayout::Portrait
                                                                : QPageLayout::Landscape);
      break;
    default: break;
  }
  Edit_scalex->setText(QString::fromStdString(FloatStr(PrintVars.PrintScaleX)));
  Edit_scaley->setText(QString::fromStdString(FloatStr(PrintVars.PrintScaleY)));
  Edit_xorigin->setText(QString::number(PrintVars.PrintOffsetX));
  Edit_yorigin->setText(QString::number(PrintVars.PrintOffsetY));
  CheckBox_umrandung->setChecked(Flags.PrintFrame);
  SetItemIndex(printmonoItems, Settings.PrintColorMode - 1);
  SetItemIndex(hochquerItems, printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0);
}

void TForm_printconf::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TForm_printconf::FormActivate() {
  QPrinter& printer = GraphicPrinter();
  ChooseOutput(printer);
  Label_printer->setText(QString("%1").arg(PrinterName(printer), 40));
  printer.setDocName(QString::fromStdString(Session.CurrentFileName));
}

void TForm_printconf::Button_printerClick() {
  QPrinter& printer = GraphicPrinter();
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  pdfInsteadOfPrinter.clear();
  Label_printer->setText(QString("%1").arg(PrinterName(printer), 40));
  SetItemIndex(hochquerItems, printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0);
}

bool TForm_printconf::ScalesUsable(double& sx, double& sy) {
  sx = static_cast<double>(StrToReal(Text(Edit_scalex)));
  sy = static_cast<double>(StrToReal(Text(Edit_scaley)));
  if (sx != 0 && sy != 0 && std::isfinite(sx) && std::isfinite(sy)) return true;
  ErrorBox("Maßstab 0 ist nicht zulässig: der Ausdruck bliebe leer.");
  (sx == 0 || !std::isfinite(sx) ? Edit_scalex : Edit_scaley)->setFocus();
  return false;
}

bool TForm_printconf::ApplyPrintSettings() {
  double sx = 0, sy = 0;
  if (!ScalesUsable(sx, sy)) return false;
  PrintVars.PrintScaleX = sx;
  PrintVars.PrintScaleY = sy;
  PrintVars.PrintOffsetX = StrToInteger(Text(Edit_xorigin));
  PrintVars.PrintOffsetY = StrToInteger(Text(Edit_yorigin));
  Flags.PrintFrame = CheckBox_umrandung->isChecked();
  Settings.PrintColorMode = ItemIndex(printmonoItems) + 1;
  GraphicPrinter().setPageOrientation(ItemIndex(hochquerItems) == 1 ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait);
  return true;
}

void TForm_printconf::Button_okClick() {
  Flags.AbortFlag = false;
  if (!ApplyPrintSettings()) return;
  if (CheckBox_anpassen->isChecked() && FZorqgra) {
    // The whole drawing, no zoom.
    FZorqgra->RestoreLimit();
    FZorqgra->ResetZoom();
    FZorqgra->ReSetWindow();
    FZorqgra->ClearViewPort();
  }
  if (FZorqgra) FZorqgra->ClearViewPort();
  PrintMapping mapping;
  mapping.PrintScaleX = PrintVars.PrintScaleX;
  mapping.PrintScaleY = PrintVars.PrintScaleY;
  mapping.PrintOffsetX = PrintVars.PrintOffsetX;
  mapping.PrintOffsetY = PrintVars.PrintOffsetY;
  mapping.PrintColorMode = Settings.PrintColorMode;
  mapping.PrintFrame = Flags.PrintFrame;
  QPrinter& printer = GraphicPrinter();
  // The stand-in PDF file is replaced only when the user agrees, as with every other output (a
  // file chosen in the printer dialog was asked for there).
  if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName() == pdfInsteadOfPrinter) {
    CheckOutputFileName(printer.outputFileName().toStdString());
    if (Flags.AbortFlag) return;
  }
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    // A file: written whole or not at all, and a failure said with its reason.
    const std::string file = printer.outputFileName().toStdString();
    if (const std::string reason = PrintDisplayListToPdf(printer, mapping); !reason.empty()) {
      ErrorMessage("Datei " + file + " kann nicht geschrieben werden: " + reason + " !");
      Flags.AbortFlag = true;
      return;
    }
  } else if (!PrintDisplayList(printer, mapping)) {
    ErrorMessage("Drucker " + TrimBlanks(PrinterName(printer).toStdString()) + " kann nicht drucken !");
    Flags.AbortFlag = true;
    return;
  }
  accept();
}

void TForm_printconf::Button_cancelClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_printconf::reject() { Button_cancelClick(); }

void TForm_printconf::Button_helpClick() { ShowHelpEntry(1030, "", 1); }

void TForm_printconf::Button_dbClick() {
  OpenPrintoutTable();
  if (Flags.AbortFlag) return;
  DbfSetCaptions("Printout", "");
  if (PrintVars.PresetRecord != 0) DbfGoRecord(PrintVars.PresetRecord);
  SetHelpContext(1040);
  // An empty table offers no preset: its blank record would give scales of 0.
  if (!Flags.AbortFlag && DbfShowTable("", 2) && !DbfTable().IsEmpty() && !DbfTable().Eof()) {
    PrintVars.PresetRecord = static_cast<int16_t>(DbfRecNo());
    Edit_scalex->setText(QString::fromStdString(DbfFieldStr(2)));
    Edit_scaley->setText(QString::fromStdString(DbfFieldStr(3)));
    Edit_xorigin->setText(QString::fromStdString(DbfFieldStr(4)));
    Edit_yorigin->setText(QString::fromStdString(DbfFieldStr(5)));
    SetItemIndex(hochquerItems, DbfGetBool("landscape") ? 1 : 0);
    SetItemIndex(printmonoItems, DbfGetBool("monochrom") ? 0 : 1);
    CheckBox_anpassen->setChecked(DbfGetBool("variable"));
    CheckBox_umrandung->setChecked(DbfGetBool("borderline"));
  }
  DbfCloseTable();
  Flags.AbortFlag = false;
}

void TForm_printconf::Button_appendClick() {
  double sx = 0, sy = 0;
  if (!ScalesUsable(sx, sy)) return;
  OpenPrintoutTable();
  if (!Flags.AbortFlag) {
    std::string name;
    InputString("Name", 25, name);
    if (!Flags.AbortFlag) {
      DbfPutStr("name", name);
      DbfPutFloat("xscale", sx);
      DbfPutFloat("yscale", sy);
      DbfPutInt("xorigin", StrToInteger(Text(Edit_xorigin)));
      DbfPutInt("yorigin", StrToInteger(Text(Edit_yorigin)));
      DbfPutBool("landscape", ItemIndex(hochquerItems) == 1);
      DbfPutBool("monochrom", ItemIndex(printmonoItems) == 0);
      DbfPutBool("variable", CheckBox_anpassen->isChecked());
      DbfPutBool("borderline", CheckBox_umrandung->isChecked());
      DbfAppendRecord();
    }
  }
  DbfCloseTable();
}

void ShowPrintWindow() {
  TForm_printconf form(DialogHostWindow());
  form.exec();
}

}  // namespace qern
