// Listing window: the display copy of a listing in a memo with the print font, its File and Edit
// menus; and the QPrinter that prints text files page by page.
#include "framework/qt/showtextfile.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/paintercanvas.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/process.h"

namespace qern {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QFont ToQFont(const PrintFontSpec& spec) {
  QFont font(Q(spec.Name));
  if (spec.Size > 0) font.setPointSize(spec.Size);
  font.setStyleHint(QFont::TypeWriter);  // a missing face falls back to a fixed-pitch one
  font.setFixedPitch(true);
  font.setBold(spec.Style.Bold);
  font.setItalic(spec.Style.Italic);
  font.setUnderline(spec.Style.Underline);
  font.setStrikeOut(spec.Style.StrikeOut);
  return font;
}
}  // namespace

// ---- Listing window ------------------------------------------------------------------------

TForm_showtextfile::TForm_showtextfile(QWidget* parent) : QDialog(parent) {
  MainMenu = new QMenuBar(this);
  mi_Datei = MainMenu->addMenu(Q(MenuCaptions.File));
  mi_dateiExportNotepad = mi_Datei->addAction("Export &Notepad");
  ExportWordpad1 = mi_Datei->addAction("Export &Wordpad");
  mi_Datei->addSeparator();
  mi_DateiDrucken = mi_Datei->addAction(Q(MenuCaptions.Print));
  mi_Datei->addSeparator();
  mi_dateiBeenden = mi_Datei->addAction(Q(MenuCaptions.Exit));
  mi_Edit = MainMenu->addMenu(Q(MenuCaptions.Edit));
  mi_EditMarkAll = mi_Edit->addAction(Q(MenuCaptions.SelectAll));
  mi_EditCopy = mi_Edit->addAction(Q(MenuCaptions.Copy));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setTabChangesFocus(true);  // Tab reaches OK instead of typing into the listing
  Button_ok = new QPushButton("OK", this);
  Button_ok->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MainMenu);
  layout->addWidget(Memo1);
  layout->addLayout(buttons);

  const auto& r = Settings.TextWindowRect;
  if (r[2] > 0 && r[3] > 0) {
    // The client rectangle, as done() keeps it; wholly on the screen.
    PlaceWindowClient(this, QRect(r[0], r[1], r[2], r[3]));
  } else {
    resize(700, 440);
  }

  connect(Button_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(mi_dateiBeenden, &QAction::triggered, this, &QDialog::accept);
  connect(mi_DateiDrucken, &QAction::triggered, this, [this] { mi_DateiDruckenClick(); });
  connect(mi_dateiExportNotepad, &QAction::triggered, this, [this] { mi_dateiExportNotepadClick(); });
  connect(mi_EditMarkAll, &QAction::triggered, Memo1, &QPlainTextEdit::selectAll);
  connect(mi_EditCopy, &QAction::triggered, Memo1, &QPlainTextEdit::copy);
}

void TForm_showtextfile::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!loaded_) LoadShownFile();
}

void TForm_showtextfile::LoadShownFile() {
  loaded_ = true;
  shownFileName_ = AddBackslash(Settings.TempFolder) + "outwin.txt";
  Memo1->setFont(ToQFont(CurrentPrintFont()));
  TextFile f;
  f.Assign(shownFileName_);
  if (f.Reset()) {
    QStringList lines;
    std::string line;
    while (!f.Eof() && f.ReadLine(line)) lines << Q(line);
    f.Close();
    Memo1->setPlainText(lines.join('\n'));
  } else {
    ShowMessageBox(shownFileName_ + " not found !");
  }
  setWindowTitle(Q(Ident.ProductName + "    " + ConvertDisplayText(shownFileName_)));
}

void TForm_showtextfile::done(int result) {
  // The place and size are kept for the next listing (and saved with the settings).
  const QRect g = geometry();
  Settings.TextWindowRect = {g.left(), g.top(), g.width(), g.height()};
  QDialog::done(result);
}

void TForm_showtextfile::mi_DateiDruckenClick() { PrintTextFile(listFileName_); }

void TForm_showtextfile::mi_dateiExportNotepadClick() {
  const std::string file = AddBackslash(Settings.TempFolder) + "outwin.txt";
  // The configured text program, else the desktop's program for text files.
  const bool started = ProgramExists(Settings.TextProgram)
                           ? StartDetached({Settings.TextProgram, file}) == StartResult::Started
                           : OpenWithDesktop(file);
  if (!started)
    ErrorMessage("Textprogramm \"" + Settings.TextProgram + "\" nicht gefunden und kein Programm " +
                 "des Desktops für Textdateien: " + file + " nicht geöffnet !");
}

// ---- Printer -------------------------------------------------------------------------------

QtTextPrintTarget::QtTextPrintTarget() = default;
QtTextPrintTarget::~QtTextPrintTarget() = default;

bool QtTextPrintTarget::ChoosePages(const std::string& title, int pageCount, int& firstPage,
                                    int& lastPage) {
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setDocName(Q(title));
  printer_->setPageOrientation(QPageLayout::Portrait);
  if (!PdfOutput.empty()) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(Q(PdfOutput));
    return true;
  }
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(Q(AddBackslash(Settings.TempFolder) + Ident.ProgramName + ".pdf"));
  }
  QPrintDialog dialog(printer_.get(), QApplication::activeWindow());
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setMinMax(1, pageCount);
  dialog.setFromTo(1, pageCount);
  dialog.setPrintRange(QAbstractPrintDialog::PageRange);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (dialog.printRange() == QAbstractPrintDialog::PageRange && dialog.fromPage() > 0) {
    firstPage = dialog.fromPage();
    lastPage = dialog.toPage();
  }
  return true;
}

bool QtTextPrintTarget::BeginDocument(const PrintFontSpec& font, int linesPerPage) {
  if (!printer_) return false;
  painter_ = std::make_unique<QPainter>();
  if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty())
    pdf_ = std::make_unique<PdfFileOutput>(*printer_);
  if (!painter_->begin(pdf_ ? static_cast<QPaintDevice*>(&pdf_->Writer()) : printer_.get())) {
    painter_.reset();
    pdf_.reset();
    return false;
  }
  painter_->setFont(ToQFont(font));
  const QRect page = printer_->pageLayout().paintRectPixels(printer_->resolution());
  lineHeight_ = std::max(1, page.height() / std::max(1, linesPerPage));
  ascent_ = QFontMetrics(painter_->font(), printer_.get()).ascent();
  return true;
}

void QtTextPrintTarget::NewPage() {
  if (pdf_)
    pdf_->Writer().newPage();
  else if (printer_)
    printer_->newPage();
}

void QtTextPrintTarget::PrintRow(int row, const std::string& text) {
  if (painter_) painter_->drawText(0, row * lineHeight_ + ascent_, Q(text));
}

std::string QtTextPrintTarget::EndDocument() {
  if (painter_) painter_->end();
  painter_.reset();
  std::string failure;
  if (pdf_) {
    if (const std::string reason = pdf_->Commit(); !reason.empty())
      failure = "Datei " + pdf_->File() + " kann nicht geschrieben werden: " + reason + " !";
  }
  pdf_.reset();
  printer_.reset();
  return failure;
}

QtTextPrintTarget& QtListingPrinter() {
  static QtTextPrintTarget printer;
  return printer;
}

void InstallQtListingHooks() {
  SetTextPrintTarget(&QtListingPrinter());
  ListingHooks hooks;
  hooks.ShowListingWindow = [](const std::string& listFileName) {
    TForm_showtextfile window(QApplication::activeWindow());
    window.SetListFileName(listFileName);
    window.exec();
  };
  SetListingHooks(hooks);
}

}  // namespace qern
