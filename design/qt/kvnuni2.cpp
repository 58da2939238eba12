// The part-texts window: names and numbers of the part drawings and two comment lines.
#include "design/qt/kvnuni2.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }
std::string Stored(const QLineEdit* e) { return AnsiStrToOem(e->text().toStdString()); }

QLineEdit* NewEdit(QWidget* parent, const char* name, const std::string& text) {
  auto* e = new QLineEdit(Shown(text), parent);
  e->setObjectName(name);
  e->setMaxLength(MaxDesignTextLength);  // what the design file keeps of a text
  return e;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

// The group of one part: drawing name, drawing number and second name line.
QGroupBox* PartGroup(QWidget* parent, const char* name, const std::string& title, QLineEdit* drawingName,
                     QLineEdit* number, QLineEdit* name2) {
  auto* box = new QGroupBox(Shown(" " + title + " "), parent);
  box->setObjectName(name);
  auto* form = new QFormLayout(box);
  form->addRow("Zeichnungsname", drawingName);
  form->addRow("Zeichnungsnummer", number);
  form->addRow(QString("Zeichnungsname") + " 2", name2);
  return box;
}

}  // namespace

TForm_kvneingabetext::TForm_kvneingabetext(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_kvneingabetext");
  setWindowTitle(Shown(Ident.Banner));

  Edit_zeichname1 = NewEdit(this, "Edit_zeichname1", PartDrawingName[1]);
  Edit_zeichnr1 = NewEdit(this, "Edit_zeichnr1", PartDrawingNumber[1]);
  Edit_zeichname21 = NewEdit(this, "Edit_zeichname21", PartDrawingName2[1]);
  GroupBox_INT = PartGroup(this, "GroupBox_INT", "Innenteil", Edit_zeichname1, Edit_zeichnr1, Edit_zeichname21);
  Edit_zeichname2 = NewEdit(this, "Edit_zeichname2", PartDrawingName[2]);
  Edit_zeichnr2 = NewEdit(this, "Edit_zeichnr2", PartDrawingNumber[2]);
  Edit_zeichname22 = NewEdit(this, "Edit_zeichname22", PartDrawingName2[2]);
  GroupBox_EXT = PartGroup(this, "GroupBox_EXT", "Außenteil", Edit_zeichname2, Edit_zeichnr2, Edit_zeichname22);

  Label_info1 = new QLabel(QString("Text") + " 1", this);
  Label_info1->setObjectName("Label_info1");
  Label_info2 = new QLabel(QString("Text") + " 2", this);
  Label_info2->setObjectName("Label_info2");
  Edit_info1 = NewEdit(this, "Edit_info1", Session.CommentLines[0]);
  Edit_info2 = NewEdit(this, "Edit_info2", Session.CommentLines[1]);
  auto* info = new QFormLayout;
  info->addRow(Label_info1, Edit_info1);
  info->addRow(Label_info2, Edit_info2);

  Button_ok = NewButton(this, "Button_ok", "OK");
  Button_ok->setDefault(true);
  Button_cancel = NewButton(this, "Button_cancel", "Abbrechen");
  connect(Button_ok, &QPushButton::clicked, this, &TForm_kvneingabetext::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_kvneingabetext::Button_cancelClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(info);
  layout->addWidget(GroupBox_INT);
  layout->addWidget(GroupBox_EXT);
  layout->addLayout(buttons);
  setMinimumWidth(480);
  CentreDialog(this);
}

void TForm_kvneingabetext::Button_okClick() {
  Flags.AbortFlag = false;
  PartDrawingNumber[1] = Stored(Edit_zeichnr1);
  PartDrawingName[1] = Stored(Edit_zeichname1);
  PartDrawingNumber[2] = Stored(Edit_zeichnr2);
  PartDrawingName[2] = Stored(Edit_zeichname2);
  PartDrawingName2[1] = Stored(Edit_zeichname21);
  PartDrawingName2[2] = Stored(Edit_zeichname22);
  Session.CommentLines[0] = Stored(Edit_info1);
  Session.CommentLines[1] = Stored(Edit_info2);
  accept();
}

void TForm_kvneingabetext::Button_cancelClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_kvneingabetext::reject() { Button_cancelClick(); }

void ShowPartTexts() {
  TForm_kvneingabetext form(DialogHostWindow());
  form.exec();
}

}  // namespace qern
