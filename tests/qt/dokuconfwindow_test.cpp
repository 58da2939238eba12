// Document-links window: edits, OK and Cancel, the start buttons and the modal entry point.
#include "framework/qt/dokuconfwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "framework/progvar.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;

namespace {

class DocumentLinksWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    InitDocumentLinks();
    SetDocumentLinkActions({[this](const std::vector<std::string>& argv) {
                              started.push_back(argv);
                              const bool windows = argv[0].ends_with(".exe");
                              return argv[0] == "fehlt" || windows ? StartResult::NotFound
                                                                   : StartResult::Started;
                            },
                            [this](const std::string& file) {
                              opened.push_back(file);
                              return desktopOpens;
                            }});
  }
  void TearDown() override { SetDocumentLinkActions({}); }
  std::vector<std::vector<std::string>> started;
  std::vector<std::string> opened;
  bool desktopOpens = true;
};

TEST_F(DocumentLinksWindowTest, OkStoresTheEditsCancelChangesNothing) {
  {
    TForm_confDoku w;
    EXPECT_TRUE(w.windowTitle().startsWith("Document Links  -  "));
    w.ShowLinks(DocumentLinks);
    EXPECT_EQ(w.Edit_prog[2]->text(), "mspaint.exe");
    w.Edit_prog[0]->setText("/usr/bin/gedit");
    w.Edit_file[0]->setText("/tmp/Prüfplan.txt");
    w.Button_cancel->click();
    EXPECT_TRUE(Flags.AbortFlag);
    EXPECT_EQ(DocumentLinks[0].Program, "notepad.exe");
  }
  TForm_confDoku w;
  w.ShowLinks(DocumentLinks);
  w.Edit_prog[0]->setText("/usr/bin/gedit");
  w.Edit_file[0]->setText("/tmp/Prüfplan.txt");
  Flags.AbortFlag = true;
  w.Button_ok->click();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DocumentLinks[0].Program, "/usr/bin/gedit");
  EXPECT_EQ(DocumentLinks[0].File, "/tmp/Prüfplan.txt");
  EXPECT_EQ(DocumentLinks[1].Program, "write.exe");
}

TEST_F(DocumentLinksWindowTest, StartButtonsUseTheEditedTexts) {
  ScopedScriptedDialogs dialogs;
  TForm_confDoku w;
  w.ShowLinks(DocumentLinks);
  w.Edit_prog[1]->setText("okular");
  w.Edit_file[1]->setText("/tmp/a b.pdf");
  w.Button_start[1]->click();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], (std::vector<std::string>{"okular", "/tmp/a b.pdf"}));

  // The file alone, and a link without a program: the desktop's program opens the file.
  w.Button_startf[1]->click();
  w.Edit_prog[3]->setText("");
  w.Edit_file[3]->setText("/tmp/x.odt");
  w.Button_start[3]->click();
  EXPECT_EQ(opened, (std::vector<std::string>{"/tmp/a b.pdf", "/tmp/x.odt"}));
  EXPECT_EQ(started.size(), 1u);

  // A program that cannot be started says so.
  w.Edit_prog[4]->setText("fehlt");
  w.Button_start[4]->click();
  EXPECT_EQ(dialogs->Messages().size(), 1u);

  // A Windows program of the start values leaves the file to the desktop; without a file
  // nothing can be opened.
  w.Edit_prog[2]->setText("notepad.exe");
  w.Edit_file[2]->setText("/tmp/notiz.txt");
  w.Button_start[2]->click();
  EXPECT_EQ(opened.back(), "/tmp/notiz.txt");
  EXPECT_EQ(dialogs->Messages().size(), 1u);
  w.Edit_file[2]->setText("");
  w.Button_start[2]->click();
  EXPECT_EQ(dialogs->Messages().back(), "Programm notepad.exe nicht gefunden, keine Datei angegeben !");
  EXPECT_EQ(started.size(), 4u);
  // Nothing stored without OK.
  EXPECT_EQ(DocumentLinks[1].Program, "write.exe");
}

TEST_F(DocumentLinksWindowTest, AFileNothingOpensSaysWhy) {
  ScopedScriptedDialogs dialogs;
  qern::test::TempFolder dir;
  qern::test::WriteWholeFile(dir.File("rt.pdf"), "%PDF-1.4\n");
  desktopOpens = false;
  TForm_confDoku w;
  w.ShowLinks(DocumentLinks);
  // There, but no program of the desktop for its kind.
  w.Edit_file[1]->setText(QString::fromStdString(dir.File("rt.pdf")));
  w.Button_startf[1]->click();
  // Not there: the folder looked in is named.
  w.Edit_prog[2]->setText("");
  w.Edit_file[2]->setText(QString::fromStdString(dir.File("alt/rt.pdf")));
  w.Button_start[2]->click();
  EXPECT_EQ(opened, (std::vector<std::string>{dir.File("rt.pdf"), dir.File("alt/rt.pdf")}));
  EXPECT_EQ(dialogs->Messages(),
            (std::vector<std::string>{
                "Kein Programm für .pdf-Dateien eingerichtet: " + dir.File("rt.pdf"),
                "Datei rt.pdf im Ordner " + dir.File("alt") + " nicht gefunden !"}));
}

TEST_F(DocumentLinksWindowTest, ShowDocumentLinksIsModalAndEscCancels) {
  QTimer::singleShot(0, [] {
    auto* w = qobject_cast<TForm_confDoku*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Edit_file[4]->setText("neu.txt");
    w->Button_ok->click();
  });
  ShowDocumentLinks();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DocumentLinks[4].File, "neu.txt");

  QTimer::singleShot(0, [] {
    auto* w = qobject_cast<TForm_confDoku*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Edit_file[4]->setText("verworfen.txt");
    w->reject();
  });
  ShowDocumentLinks();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(DocumentLinks[4].File, "neu.txt");
}

}  // namespace
