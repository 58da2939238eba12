// The colour picker: a list of the named colours with OK and Cancel.
#include "framework/qt/lselcol.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/lconfigmodel.h"
#include "framework/qt/formhelp.h"
#include "framework/utilstr.h"

namespace qern {

TForm_selectcolor::TForm_selectcolor(int number, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_selectcolor");
  setWindowTitle("Select Color");
  ListBox_colors = new QListWidget(this);
  ListBox_colors->setObjectName("ListBox_colors");
  for (int i = 0; i < 16; ++i) {
    ListBox_colors->addItem(QString::fromStdString(ConvertDisplayText(Session.ChoiceTexts[i]) +
                                                   " (" + IntStr(i + 1) + ")"));
  }
  if (number >= 1 && number <= 16) ListBox_colors->setCurrentRow(number - 1);
  Button_ok = new QPushButton("OK", this);
  Button_ok->setObjectName("Button_ok");
  Button_ok->setDefault(true);
  Button_cancel = new QPushButton(QString::fromStdString(ConvertDisplayText("Abbrechen")), this);
  Button_cancel->setObjectName("Button_cancel");
  connect(Button_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ListBox_colors, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ListBox_colors);
  layout->addLayout(buttons);
  ListBox_colors->setMinimumHeight(ListBox_colors->sizeHintForRow(0) * 16 + 8);
  adjustSize();
  CentreDialog(this);
}

int TForm_selectcolor::ColorNumber() const { return ListBox_colors->currentRow() + 1; }

bool SelectColorNumber(int& number, QWidget* parent) {
  for (int i = 0; i < 16; ++i) Session.ChoiceTexts[i] = ColorNames[i];
  TForm_selectcolor form(number, parent);
  if (form.exec() != QDialog::Accepted || form.ColorNumber() < 1) {
    Flags.AbortFlag = false;
    return false;
  }
  number = form.ColorNumber();
  return true;
}

}  // namespace qern
