// The Qt dialog service: choice (list or radio group), yes/no, text input, list window, message
// boxes, file and folder dialogs, built per call and shown modally.
#include "platform/qt/qtdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qern {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Title or prompt label at the top of a dialog.
QLabel* AddLabel(QDialog& d, QVBoxLayout* layout, const std::string& text, bool wrap, int height,
                 int width) {
  auto* label = new QLabel(Q(text), &d);
  label->setObjectName("Label1");
  label->setWordWrap(wrap);
  label->setMinimumHeight(height);
  if (width > 0) label->setMinimumWidth(width);
  layout->addWidget(label);
  return label;
}

// The four buttons shared by the choice, yes/no and text dialogs.
void AddButtons(QDialog& d, QVBoxLayout* layout, int helpNumber, bool clearsAbort) {
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("OK", &d);
  ok->setObjectName("button_ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Abbrechen", &d);
  cancel->setObjectName("button_cancel");
  auto* helpText = new QPushButton("&Hilfetext", &d);
  helpText->setObjectName("Button_hilfetext");
  helpText->setAutoDefault(false);
  auto* helpPicture = new QPushButton("Hilfe&bild", &d);
  helpPicture->setObjectName("Button_hilfebild");
  helpPicture->setAutoDefault(false);
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
  QObject::connect(helpText, &QPushButton::clicked, &d,
                   [helpNumber, clearsAbort] { ShowDialogHelp(helpNumber, 1, clearsAbort); });
  QObject::connect(helpPicture, &QPushButton::clicked, &d,
                   [helpNumber, clearsAbort] { ShowDialogHelp(helpNumber, 2, clearsAbort); });
  row->addWidget(ok);
  row->addWidget(cancel);
  row->addWidget(helpText);
  row->addWidget(helpPicture);
  layout->addLayout(row);
}

// The buttons of the message boxes speak the program's language, not Qt's default English.
void GermanButtons(QMessageBox& box) {
  const std::pair<QMessageBox::StandardButton, const char*> texts[] = {
      {QMessageBox::Ok, "OK"},          {QMessageBox::Yes, "&Ja"},
      {QMessageBox::No, "&Nein"},       {QMessageBox::Cancel, "Abbrechen"},
      {QMessageBox::Retry, "&Wiederholen"}};
  for (const auto& [which, text] : texts)
    if (QAbstractButton* b = box.button(which)) b->setText(QString::fromUtf8(text));
}

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Help: return QMessageBox::Information;
    default: return QMessageBox::Information;
  }
}

void SetUpFileDialog(QFileDialog& d, const FileDialogRequest& request) {
  if (!request.Caption.empty()) d.setWindowTitle(Q(request.Caption));
  if (!request.StartFolder.empty()) d.setDirectory(Q(request.StartFolder));
  if (!request.Patterns.empty()) d.setNameFilters(QtNameFilters(request.Patterns).split(";;"));
  if (!request.ProposedName.empty()) d.selectFile(Q(request.ProposedName));
}

}  // namespace

QString QtNameFilters(const std::vector<std::string>& patterns) {
  QStringList filters;
  for (const auto& p : patterns) filters << Q(p) + " (" + Q(p) + ")";
  return filters.join(";;");
}

QtDialogService::QtDialogService(DialogPlacer placer) : placer_(std::move(placer)) {}

QWidget* QtDialogService::Parent() const {
  if (main_) return main_;
  return QApplication::activeWindow();
}

int QtDialogService::Run(QDialog& dialog, DialogPlacement placement) {
  dialog.adjustSize();
  if (placer_) placer_(&dialog, placement);
  return dialog.exec();
}

bool QtDialogService::Choose(const std::string& title, const std::vector<std::string>& items,
                             bool asList, int& index, int helpNumber) {
  QDialog d(Parent());
  d.setWindowTitle("Auswahl");
  auto* layout = new QVBoxLayout(&d);
  AddLabel(d, layout, title, false, 39, 0);
  int n = static_cast<int>(items.size());
  int current = (index < 1 || index > n) ? 1 : index;
  QListWidget* list = nullptr;
  QButtonGroup* group = nullptr;
  if (asList) {
    d.setObjectName("Tin_codedialog");
    list = new QListWidget(&d);
    list->setObjectName("ListBox1");
    for (const auto& item : items) list->addItem(Q(item));
    if (n > 0) list->setCurrentRow(current - 1);
    // Enter or a double click in the list chooses the item.
    QObject::connect(list, &QListWidget::itemActivated, &d, &QDialog::accept);
    layout->addWidget(list);
  } else {
    d.setObjectName("Tin_radiodialog");
    auto* box = new QGroupBox(&d);
    box->setObjectName("RadioGroup1");
    box->setMinimumHeight((n + 1) * 25);
    auto* boxLayout = new QVBoxLayout(box);
    group = new QButtonGroup(&d);
    for (int i = 0; i < n; ++i) {
      auto* radio = new QRadioButton(Q(items[static_cast<size_t>(i)]), box);
      group->addButton(radio, i + 1);
      boxLayout->addWidget(radio);
      if (i + 1 == current) {
        radio->setChecked(true);
        // The arrow keys move on from the current item, as in the list.
        radio->setFocus();
      }
    }
    layout->addWidget(box);
  }
  AddButtons(d, layout, helpNumber, true);
  if (list) list->setFocus();
  if (Run(d, DialogPlacement::Centre) != QDialog::Accepted) return false;
  int chosen = list ? list->currentRow() + 1 : group->checkedId();
  if (chosen >= 1 && chosen <= n) index = chosen;
  return true;
}

bool QtDialogService::AskYesNo(const std::string& prompt, bool& answer, int helpNumber) {
  QDialog d(Parent());
  d.setObjectName("Tin_janeindialog");
  d.setWindowTitle("Eingabe");
  auto* layout = new QVBoxLayout(&d);
  AddLabel(d, layout, prompt, true, 33, 250);
  auto* box = new QGroupBox("Auswahl", &d);
  box->setObjectName("RadioGroup_janein");
  auto* boxLayout = new QVBoxLayout(box);
  auto* yes = new QRadioButton("&Ja", box);
  yes->setObjectName("radio_ja");
  auto* no = new QRadioButton("&Nein", box);
  no->setObjectName("radio_nein");
  boxLayout->addWidget(yes);
  boxLayout->addWidget(no);
  (answer ? yes : no)->setChecked(true);
  (answer ? yes : no)->setFocus();
  layout->addWidget(box);
  AddButtons(d, layout, helpNumber, false);
  if (Run(d, DialogPlacement::Centre) != QDialog::Accepted) return false;
  answer = yes->isChecked();
  return true;
}

YesNoCancel QtDialogService::AskYesNoCancel(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Question, Q(caption), Q(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Parent());
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  GermanButtons(box);
  int r = box.exec();
  if (r == QMessageBox::Yes) return YesNoCancel::Yes;
  if (r == QMessageBox::No) return YesNoCancel::No;
  return YesNoCancel::Cancel;
}

bool QtDialogService::AskRetry(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Warning, Q(caption), Q(text),
                  QMessageBox::Retry | QMessageBox::Cancel, Parent());
  box.setDefaultButton(QMessageBox::Retry);
  box.setEscapeButton(QMessageBox::Cancel);
  GermanButtons(box);
  return box.exec() == QMessageBox::Retry;
}

void QtDialogService::ShowMessage(const std::string& caption, const std::string& text,
                                  MessageKind kind) {
  QMessageBox box(IconOf(kind), Q(caption), Q(text), QMessageBox::Ok, Parent());
  GermanButtons(box);
  box.exec();
}

void QtDialogService::ShowLines(const std::string& caption, const std::vector<std::string>& lines) {
  QDialog d(Parent());
  d.setObjectName("TShowScreen");
  d.setWindowTitle(Q(caption));
  auto* layout = new QVBoxLayout(&d);
  auto* memo = new QPlainTextEdit(&d);
  memo->setObjectName("Memo1");
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The lines are laid out in columns with blanks (the usage text): a fixed-pitch font keeps them.
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QStringList text;
  for (const auto& l : lines) text << Q(l);
  memo->setPlainText(text.join("\n"));
  QFontMetrics fm(memo->font());
  memo->setMinimumHeight(fm.lineSpacing() * 22 + 12);
  memo->setMinimumWidth(fm.horizontalAdvance(QString(70, 'x')));
  layout->addWidget(memo);
  auto* ok = new QPushButton("OK", &d);
  ok->setObjectName("Button_ok");
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  layout->addWidget(ok);
  ok->setFocus();
  Run(d, DialogPlacement::Centre);
}

bool QtDialogService::InputText(const std::string& prompt, int maxLength, std::string& text,
                                int helpNumber) {
  QDialog d(Parent());
  d.setObjectName("Tin_textdialog");
  d.setWindowTitle("Eingabe");
  d.setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(&d);
  AddLabel(d, layout, prompt, true, 33, 300);
  auto* edit = new QLineEdit(Q(text), &d);
  edit->setObjectName("EditEinText");
  if (maxLength > 0) edit->setMaxLength(maxLength);
  edit->selectAll();
  layout->addWidget(edit);
  AddButtons(d, layout, helpNumber, true);
  edit->setFocus();
  if (Run(d, DialogPlacement::Scale) != QDialog::Accepted) return false;
  text = edit->text().toStdString();
  return true;
}

bool QtDialogService::OpenFileName(const FileDialogRequest& request, std::string& fullName) {
  QFileDialog d(Parent());
  d.setObjectName("OpenDialog");
  d.setAcceptMode(QFileDialog::AcceptOpen);
  d.setFileMode(QFileDialog::ExistingFile);
  SetUpFileDialog(d, request);
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  fullName = d.selectedFiles().first().toStdString();
  return true;
}

bool QtDialogService::SaveFileName(const FileDialogRequest& request, std::string& fullName) {
  QFileDialog d(Parent());
  d.setObjectName("SaveDialog");
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setFileMode(QFileDialog::AnyFile);
  // The program asks its own overwrite question afterwards.
  d.setOption(QFileDialog::DontConfirmOverwrite, true);
  SetUpFileDialog(d, request);
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  fullName = d.selectedFiles().first().toStdString();
  return true;
}

bool QtDialogService::ChooseFolder(const FileDialogRequest& request, std::string& folder) {
  QFileDialog d(Parent());
  d.setObjectName("FolderDialog");
  d.setFileMode(QFileDialog::Directory);
  d.setOption(QFileDialog::ShowDirsOnly, true);
  if (!request.Caption.empty()) d.setWindowTitle(Q(request.Caption));
  if (!request.StartFolder.empty()) d.setDirectory(Q(request.StartFolder));
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  folder = d.selectedFiles().first().toStdString();
  return true;
}

void QtDialogService::Beep() { QApplication::beep(); }

void QtDialogService::SetCursorShape(CursorShape shape) {
  if (shape == CursorShape::Wait) {
    if (!QApplication::overrideCursor()) QApplication::setOverrideCursor(Qt::WaitCursor);
    return;
  }
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void QtDialogService::SetApplicationTitle(const std::string& title) {
  // Only the main window carries it: an application display name would be appended by Qt to
  // every dialog's caption ("Auswahl — QERN ...").
  if (main_) main_->setWindowTitle(Q(title));
}

}  // namespace qern
