// The document-links window: five program and file edits with browse and start buttons.
#include "framework/qt/dokuconfwindow.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

DocumentLinkActions CurrentActions;

QString Q(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }

StartResult StartLink(const std::vector<std::string>& argv) {
  return CurrentActions.Start ? CurrentActions.Start(argv) : StartDetached(argv);
}

bool OpenWithDesktop(const std::string& file) {
  if (CurrentActions.Open) return CurrentActions.Open(file);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
}

}  // namespace

void SetDocumentLinkActions(const DocumentLinkActions& actions) { CurrentActions = actions; }

TForm_confDoku::TForm_confDoku(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_confDoku");
  std::string title;
  UpdateApplicationTitle(title);
  setWindowTitle(QString::fromStdString("Document Links  -  " + title));

  std::string progHint, fileHint;
  GetHelpHint(2710, progHint);
  GetHelpHint(2720, fileHint);

  auto* grid = new QGridLayout;
  for (int i = 0; i < DocumentLinkSlots; ++i) {
    const QString n = QString::number(i + 1);
    const int row = 2 * i;
    Edit_prog[i] = new QLineEdit(this);
    Edit_prog[i]->setObjectName("Edit_prog" + n);
    Edit_prog[i]->setToolTip(Q(progHint));
    Edit_file[i] = new QLineEdit(this);
    Edit_file[i]->setObjectName("Edit_file" + n);
    Edit_file[i]->setToolTip(Q(fileHint));
    Button_prog[i] = new QPushButton("...", this);
    Button_prog[i]->setObjectName("Button_prog" + n);
    Button_file[i] = new QPushButton("...", this);
    Button_file[i]->setObjectName("Button_file" + n);
    Button_start[i] = new QPushButton("Start", this);
    Button_start[i]->setObjectName("Button" + n);
    Button_startf[i] = new QPushButton(Q("Öffnen"), this);
    Button_startf[i]->setObjectName("Button" + n + "f");
    for (QPushButton* b : {Button_prog[i], Button_file[i], Button_start[i], Button_startf[i]})
      b->setAutoDefault(false);

    grid->addWidget(new QLabel("Program " + n, this), row, 0);
    grid->addWidget(Edit_prog[i], row, 1);
    grid->addWidget(Button_prog[i], row, 2);
    grid->addWidget(Button_start[i], row, 3);
    grid->addWidget(new QLabel("File " + n, this), row + 1, 0);
    grid->addWidget(Edit_file[i], row + 1, 1);
    grid->addWidget(Button_file[i], row + 1, 2);
    grid->addWidget(Button_startf[i], row + 1, 3);

    connect(Button_prog[i], &QPushButton::clicked, this, [this, i] { Button_progClick(i); });
    connect(Button_file[i], &QPushButton::clicked, this, [this, i] { Button_fileClick(i); });
    connect(Button_start[i], &QPushButton::clicked, this, [this, i] { ButtonStartClick(i); });
    connect(Button_startf[i], &QPushButton::clicked, this, [this, i] { ButtonStartFileClick(i); });
  }
  grid->setColumnMinimumWidth(1, 360);

  Button_ok = new QPushButton("OK", this);
  Button_ok->setObjectName("Button_ok");
  Button_ok->setDefault(true);
  Button_cancel = new QPushButton("Abbrechen", this);
  Button_cancel->setObjectName("Button_cancel");
  Button_cancel->setAutoDefault(false);
  Button_help = new QPushButton("&Hilfetext", this);
  Button_help->setObjectName("Button_help");
  Button_help->setAutoDefault(false);
  connect(Button_ok, &QPushButton::clicked, this, &TForm_confDoku::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_confDoku::Button_cancelClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_confDoku::Button_helpClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  buttons->addWidget(Button_help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  CentreDialog(this);
}

void TForm_confDoku::ShowLinks(const std::array<DocumentLink, DocumentLinkSlots>& links) {
  for (int i = 0; i < DocumentLinkSlots; ++i) {
    Edit_prog[i]->setText(QString::fromStdString(links[i].Program));
    Edit_file[i]->setText(QString::fromStdString(links[i].File));
  }
}

std::array<DocumentLink, DocumentLinkSlots> TForm_confDoku::EditedLinks() const {
  std::array<DocumentLink, DocumentLinkSlots> links;
  for (int i = 0; i < DocumentLinkSlots; ++i) links[i] = {S(Edit_prog[i]), S(Edit_file[i])};
  return links;
}

void TForm_confDoku::Button_progClick(int i) {
  // Programs here have no ".exe": every file is offered.
  std::string name;
  BrowseFile(S(Edit_prog[i]), "*", name);
  if (!Flags.AbortFlag) Edit_prog[i]->setText(QString::fromStdString(name));
  Flags.AbortFlag = false;
}

void TForm_confDoku::Button_fileClick(int i) {
  std::string name;
  BrowseFile(S(Edit_file[i]), "*.*", name);
  if (!Flags.AbortFlag) Edit_file[i]->setText(QString::fromStdString(name));
  Flags.AbortFlag = false;
}

void TForm_confDoku::ButtonStartClick(int i) {
  const DocumentLink link{S(Edit_prog[i]), S(Edit_file[i])};
  const std::vector<std::string> argv = DocumentLinkCommand(link);
  if (argv.empty()) {  // no program: the desktop's program for the file
    ButtonStartFileClick(i);
    return;
  }
  const StartResult started = StartLink(argv);
  if (started == StartResult::Started) return;
  // A Windows program (the start values, a design from Windows) missing here: the desktop's
  // program for the file.
  if (started == StartResult::NotFound && NamesWindowsProgram(argv[0])) {
    const std::string file = argv.size() > 1 ? argv[1] : "";
    if (!file.empty() && OpenWithDesktop(file)) return;
    ErrorMessage("Programm " + argv[0] + " " + "nicht gefunden" + ", " +
                 (file.empty() ? std::string("keine Datei angegeben")
                               : "kein Programm des Desktops für " + file) +
                 " !");
    return;
  }
  ErrorMessage("Programm " + argv[0] + " " + "nicht gefunden oder nicht startbar" + " !");
}

void TForm_confDoku::ButtonStartFileClick(int i) {
  const std::string file = TrimBlanks(S(Edit_file[i]));
  if (file.empty()) return;
  if (!OpenWithDesktop(file)) ReportDocumentNotOpened(file);
}

void TForm_confDoku::Button_okClick() {
  Flags.AbortFlag = false;
  DocumentLinks = EditedLinks();
  accept();
}

void TForm_confDoku::Button_cancelClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_confDoku::reject() { Button_cancelClick(); }

void TForm_confDoku::Button_helpClick() { ShowHelpEntry(2730, "", 1); }

void ShowDocumentLinks() {
  TForm_confDoku form(DialogHostWindow());
  form.ShowLinks(DocumentLinks);
  Flags.AbortFlag = true;  // a window closed any other way counts as cancelled
  form.exec();
}

}  // namespace qern
