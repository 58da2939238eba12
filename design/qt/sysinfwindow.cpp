// The system-information and about windows of the Help menu.
#include "design/qt/sysinfwindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include "design/sysinf.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/sysutil.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"

namespace qern {

namespace {

// Both windows show the logo on the main window when they open.
void ShowLogoOnMainWindow() {
  if (!DrawDevice) return;
  DrawDevice->ClearDevice();
  DrawDevice->ShowLogo();
}

QPushButton* NewOkButton(QDialog* dialog) {
  auto* b = new QPushButton("OK", dialog);
  b->setObjectName("OKButton");
  b->setDefault(true);
  QObject::connect(b, &QPushButton::clicked, dialog, &QDialog::accept);
  return b;
}

QHBoxLayout* Centred(QWidget* w) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(w);
  row->addStretch();
  return row;
}

}  // namespace

TSysinfo::TSysinfo(QWidget* parent) : QDialog(parent) {
  setObjectName("Sysinfo");
  setWindowTitle(QString::fromStdString(ConvertDisplayText(Ident.ProductName + " System Info")));
  ListBox_info = new QListWidget(this);
  ListBox_info->setObjectName("ListBox_info");
  ListBox_info->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));  // labels line up
  OKButton = NewOkButton(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ListBox_info);
  layout->addLayout(Centred(OKButton));
  resize(560, 380);
  CentreDialog(this);
  ShowLogoOnMainWindow();
}

void TSysinfo::showEvent(QShowEvent* event) {
  if (!filled_) FormActivate();
  QDialog::showEvent(event);
}

void TSysinfo::FormActivate() {
  filled_ = true;
  ListBox_info->clear();
  for (const std::string& line : SystemInfoLines(CurrentSystemFacts()))
    ListBox_info->addItem(QString::fromStdString(line));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle(QString::fromStdString(ConvertDisplayText(Ident.ProductName)));
  Label_extended = new QLabel(QString::fromStdString(ConvertDisplayText(Ident.Banner)), this);
  Label_extended->setObjectName("Label_extended");
  // Built for Linux with Qt: the platform and the toolkit take the place of the Windows build's.
  ProductName = new QLabel(
      QString::fromStdString("Version " + Ident.VersionText + " " + "für" + " Linux"), this);
  ProductName->setObjectName("ProductName");
  Label_fileversion = new QLabel(
      QString::fromStdString("File Version : " + GetFileVersion("") + "   (w" + Ident.ProgramName +
                             ":" + "Qt " + qVersion() + ")"),
      this);
  Label_fileversion->setObjectName("Label_fileversion");
  OKButton = NewOkButton(this);
  QFont big = Label_extended->font();
  big.setBold(true);
  Label_extended->setFont(big);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(Centred(Label_extended));
  layout->addLayout(Centred(ProductName));
  layout->addLayout(Centred(Label_fileversion));
  layout->addSpacing(12);
  layout->addLayout(Centred(OKButton));
  setMinimumWidth(360);
  resize(sizeHint().expandedTo(minimumSize()));
  CentreDialog(this);
  ShowLogoOnMainWindow();
}

// The logo shows on the main window while the window is open; the design's drawing comes back
// when it closes.
void ShowSystemInfo() {
  KeptDrawing drawing;
  TSysinfo form(DialogHostWindow());
  form.exec();
}

void ShowAboutBox() {
  KeptDrawing drawing;
  TAboutBox form(DialogHostWindow());
  form.exec();
}

}  // namespace qern
