// The change-entry window of the change-log menu.
#include "drawing/qt/laend1.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "design/aendvar.h"
#include "drawing/aend1.h"
#include "drawing/qt/laend2.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/sysutil.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* caption) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(name);
  return l;
}

ChangeEntry& Entry(int n) { return DrawingInfo.ChangeEntries[std::clamp(n, 1, MaxChangeEntries) - 1]; }

}  // namespace

TForm_EinAend::TForm_EinAend(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_EinAend");
  setWindowTitle("Änderung");

  Label_text = NewLabel(this, "Label_text", "Änderungstext");
  Label_datum = NewLabel(this, "Label_datum", "Datum");
  Label_bearbeiter = NewLabel(this, "Label_bearbeiter", "Bearbeiter");
  Label_beschreibung = NewLabel(this, "Label_beschreibung", "Beschreibung");
  Edit_text = new QLineEdit(this);
  Edit_text->setObjectName("Edit_text");
  Edit_datum = new QLineEdit(this);
  Edit_datum->setObjectName("Edit_datum");
  Edit_bearbeiter = new QLineEdit(this);
  Edit_bearbeiter->setObjectName("Edit_bearbeiter");
  Memo_beschreibung = new QPlainTextEdit(this);
  Memo_beschreibung->setObjectName("Memo_beschreibung");
  Memo_beschreibung->setTabChangesFocus(true);
  Button_datum = NewButton(this, "Button_datum", QString::fromStdString("<" + TodayStr()));

  auto* date = new QHBoxLayout;
  date->addWidget(Edit_datum, 1);
  date->addWidget(Button_datum);
  auto* form = new QFormLayout;
  form->addRow(Label_text, Edit_text);
  form->addRow(Label_datum, date);
  form->addRow(Label_bearbeiter, Edit_bearbeiter);
  form->addRow(Label_beschreibung, Memo_beschreibung);

  Button_ok = NewButton(this, "Button_ok", "OK");
  Button_ok->setDefault(true);
  Button_cancel = NewButton(this, "Button_cancel", "Abbrechen");
  Button_help = NewButton(this, "Button_help", "&Hilfe");
  connect(Button_ok, &QPushButton::clicked, this, &TForm_EinAend::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_EinAend::Button_cancelClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_EinAend::Button_helpClick);
  connect(Button_datum, &QPushButton::clicked, this, &TForm_EinAend::Button_datumClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  buttons->addWidget(Button_help);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  // Tab walks the fields top down, the date button right after the date.
  QWidget* order[] = {Edit_text, Edit_datum, Button_datum, Edit_bearbeiter, Memo_beschreibung,
                      Button_ok, Button_cancel, Button_help};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  resize(480, 320);
  CentreDialog(this);
}

void TForm_EinAend::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TForm_EinAend::FormShow() {
  setWindowTitle(QString::fromStdString("Änderung" + std::string(" ") + IntStr(n)));
  const ChangeEntry& e = Entry(n);
  Edit_text->setText(Shown(e.ChangeText));
  Edit_datum->setText(Shown(e.Date));
  Edit_bearbeiter->setText(Shown(e.Editor));
  Memo_beschreibung->setPlainText(Shown(e.Description));
  Edit_text->setFocus();
}

void TForm_EinAend::Button_okClick() {
  Flags.AbortFlag = false;
  ChangeEntry& e = Entry(n);
  e.ChangeText = AnsiStrToOem(Edit_text->text().toStdString());
  e.Date = Edit_datum->text().toStdString();
  e.Editor = AnsiStrToOem(Edit_bearbeiter->text().toStdString());
  e.Description = AnsiStrToOem(Memo_beschreibung->toPlainText().toStdString());
  accept();
}

void TForm_EinAend::Button_cancelClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_EinAend::reject() { Button_cancelClick(); }

void TForm_EinAend::Button_helpClick() { ShowHelpEntry(3000, "", 1); }

void TForm_EinAend::Button_datumClick() { Edit_datum->setText(QString::fromStdString(TodayStr())); }

void EditChangeEntry(int n) {
  if (n < 1 || n > MaxChangeEntries) return;
  TForm_EinAend form(DialogHostWindow());
  form.n = n;
  form.exec();
}

void InstallChangeLogWindows() { SetChangeLogWindows({EditChangeEntry, ShowDrawingInfo}); }

}  // namespace qern
