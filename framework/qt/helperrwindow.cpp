// Message-help window: message (read-only), cause and remedy memos, OK and help.
#include "framework/qt/helperrwindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/help.h"
#include "framework/qt/formhelp.h"
#include "framework/uhelperr.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

Thelperr::Thelperr(const std::string& message, const std::string& cause, const std::string& remedy,
                   QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(Q(ConvertDisplayText("Fehlermeldung")));
  Label_meldung = new QLabel(Q(ConvertDisplayText("Fehlermeldung")), this);
  Edit_meldung = new QLineEdit(Q(message), this);
  Edit_meldung->setReadOnly(true);
  Label_ursache = new QLabel(Q(ConvertDisplayText("Ursache")), this);
  Memo_ursache = new QPlainTextEdit(Q(cause), this);
  Label_abhilfe = new QLabel(Q(ConvertDisplayText("Abhilfe")), this);
  Memo_abhilfe = new QPlainTextEdit(Q(remedy), this);
  Button_ok = new QPushButton("OK", this);
  Button_ok->setDefault(true);
  Button_help = new QPushButton(Q(ConvertDisplayText("&Hilfe")), this);

  const std::pair<QWidget*, const char*> names[] = {
      {Label_meldung, "Label_meldung"}, {Edit_meldung, "Edit_meldung"},
      {Label_ursache, "Label_ursache"}, {Memo_ursache, "Memo_ursache"},
      {Label_abhilfe, "Label_abhilfe"}, {Memo_abhilfe, "Memo_abhilfe"},
      {Button_ok, "Button_ok"},         {Button_help, "Button_help"}};
  for (const auto& [w, name] : names) w->setObjectName(name);
  // Tab moves on to the next field instead of typing a tab into the text.
  Memo_ursache->setTabChangesFocus(true);
  Memo_abhilfe->setTabChangesFocus(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_help);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label_meldung);
  layout->addWidget(Edit_meldung);
  layout->addWidget(Label_ursache);
  layout->addWidget(Memo_ursache);
  layout->addWidget(Label_abhilfe);
  layout->addWidget(Memo_abhilfe);
  layout->addLayout(buttons);
  resize(520, 360);
  CentreDialog(this);

  connect(Memo_ursache, &QPlainTextEdit::textChanged, this, [this] { changed_ = true; });
  connect(Memo_abhilfe, &QPlainTextEdit::textChanged, this, [this] { changed_ = true; });
  connect(Button_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button_help, &QPushButton::clicked, this, [this] { Button_helpClick(); });
}

std::string Thelperr::Cause() const { return Memo_ursache->toPlainText().toStdString(); }
std::string Thelperr::Remedy() const { return Memo_abhilfe->toPlainText().toStdString(); }

void Thelperr::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  changed_ = false;
}

void Thelperr::Button_helpClick() { ShowHelpEntry(1970, "", 1); }

void InstallErrorHelpWindow() {
  SetErrorHelpEditor([](const std::string& message, const std::string& cause,
                        const std::string& remedy) {
    Thelperr window(message, cause, remedy, QApplication::activeWindow());
    ErrorHelpEdit edit;
    const bool ok = window.exec() == QDialog::Accepted;
    edit.Cause = window.Cause();
    edit.Remedy = window.Remedy();
    edit.Changed = ok && window.Changed();
    return edit;
  });
}

}  // namespace qern
