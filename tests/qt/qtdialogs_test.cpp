// The Qt dialog service builds its modal dialogs; a timer answers each one so nothing blocks.
#include "platform/qt/qtdialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"

using namespace qern;

namespace {

// Runs act on the modal dialog as soon as it is shown and active (polling, so it never misses
// it). Keys reach only the active window: the arrow keys move between radio items from the
// application's focus widget, which exists only once the window system has activated the dialog
// (a step after the showing that a slow build, such as one under the sanitizers, may not have
// taken yet at the first poll).
void WhenShown(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || !w->isActiveWindow()) return;
    timer->stop();
    timer->deleteLater();
    act(w);
  });
  timer->start();
}

void Click(QWidget* dialog, const char* name) {
  auto* b = dialog->findChild<QPushButton*>(name);
  ASSERT_NE(b, nullptr) << name;
  b->click();
}

class QtDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDialogService(&service);
  }
  void TearDown() override { SetDialogService(nullptr); }
  QtDialogService service;
};

TEST_F(QtDialogsTest, ChoiceAsListAndAsRadioGroup) {
  std::vector<std::string> items;
  for (int i = 1; i <= 8; ++i) items.push_back("Punkt " + std::to_string(i));
  int index = 2;
  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "Tin_codedialog");
    EXPECT_EQ(d->windowTitle(), "Auswahl");
    auto* list = d->findChild<QListWidget*>("ListBox1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 8);
    EXPECT_EQ(list->currentRow(), 1);
    list->setCurrentRow(6);
    Click(d, "button_ok");
  });
  EXPECT_TRUE(service.Choose("Titel", items, true, index, 0));
  EXPECT_EQ(index, 7);

  items.resize(7);
  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "Tin_radiodialog");
    auto* group = d->findChild<QGroupBox*>("RadioGroup1");
    ASSERT_NE(group, nullptr);
    EXPECT_GE(group->minimumHeight(), 200);
    auto radios = group->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 7);
    radios[3]->setChecked(true);
    Click(d, "button_ok");
  });
  EXPECT_TRUE(service.Choose("Titel", items, false, index, 0));
  EXPECT_EQ(index, 4);

  WhenShown([](QWidget* d) { Click(d, "button_cancel"); });
  EXPECT_FALSE(service.Choose("Titel", items, false, index, 0));
  EXPECT_EQ(index, 4);
}

TEST_F(QtDialogsTest, YesNoTextAndHelpButtons) {
  int helpMode = 0;
  SetDialogHelpHandler([&](int, int mode, bool) { helpMode = mode; });
  bool answer = true;
  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "Tin_janeindialog");
    EXPECT_TRUE(d->findChild<QRadioButton*>("radio_ja")->isChecked());
    Click(d, "Button_hilfebild");  // the dialog stays open
    d->findChild<QRadioButton*>("radio_nein")->setChecked(true);
    Click(d, "button_ok");
  });
  EXPECT_TRUE(service.AskYesNo("Speichern?", answer, 5));
  EXPECT_FALSE(answer);
  EXPECT_EQ(helpMode, 2);
  SetDialogHelpHandler(nullptr);

  std::string text = "12.5";
  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "Tin_textdialog");
    auto* edit = d->findChild<QLineEdit*>("EditEinText");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "12.5");
    EXPECT_EQ(edit->maxLength(), 30);
    edit->setText("17");
    Click(d, "button_ok");
  });
  EXPECT_TRUE(service.InputText("Wert", 30, text, 0));
  EXPECT_EQ(text, "17");
}

TEST_F(QtDialogsTest, MessageBoxesAndListWindow) {
  WhenShown([](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "X existiert bereits.   überschreiben ?");
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(service.AskYesNoCancel("QERN", "X existiert bereits.   überschreiben ?"),
            YesNoCancel::No);

  WhenShown([](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    EXPECT_EQ(box->windowTitle(), "Fehler : ");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    box->button(QMessageBox::Ok)->click();
  });
  ErrorBox("Lesefehler");  // through the plain routine and the current service

  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "TShowScreen");
    EXPECT_EQ(d->windowTitle(), "QERN");
    EXPECT_TRUE(d->findChild<QPlainTextEdit*>("Memo1")->toPlainText().startsWith("Zeile 1"));
    Click(d, "Button_ok");
  });
  service.ShowLines("QERN", {"Zeile 1", "Zeile 2"});
}

// Keyboard only: the arrow keys move on from the current radio item and Enter takes it; the
// message boxes answer in German; no dialog caption gets the application title appended.
TEST_F(QtDialogsTest, KeyboardChoiceGermanButtonsAndPlainCaptions) {
  std::vector<std::string> items = {"A", "B", "C", "D", "E"};
  int index = 3;
  WhenShown([](QWidget* d) {
    // Arrow keys move the focus only in the active window; on a busy machine activation comes late.
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    auto* focused = qobject_cast<QRadioButton*>(d->focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(), "C");
    QTest::keyClick(focused, Qt::Key_Down);
    QTest::keyClick(d->focusWidget(), Qt::Key_Return);
  });
  EXPECT_TRUE(service.Choose("Titel", items, false, index, 0));
  EXPECT_EQ(index, 4);

  bool answer = false;
  WhenShown([](QWidget* d) {
    EXPECT_EQ(d->focusWidget(), d->findChild<QRadioButton*>("radio_nein"));
    QTest::keyClick(d->focusWidget(), Qt::Key_Up);
    QTest::keyClick(d->focusWidget(), Qt::Key_Return);
  });
  EXPECT_TRUE(service.AskYesNo("Speichern?", answer, 0));
  EXPECT_TRUE(answer);

  WhenShown([](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Ja");
    EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Nein");
    EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), "Abbrechen");
    QTest::keyClick(box, Qt::Key_Escape);
  });
  EXPECT_EQ(service.AskYesNoCancel("QERN", "Frage ?"), YesNoCancel::Cancel);
  WhenShown([](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QMessageBox::Retry)->text(), "&Wiederholen");
    box->button(QMessageBox::Retry)->click();
  });
  EXPECT_TRUE(service.AskRetry("QERN", "Schreibschutz entfernen !"));

  service.SetApplicationTitle("QERN   Kerbverzahnung  -  test.qrk");
  EXPECT_TRUE(QGuiApplication::applicationDisplayName() == QCoreApplication::applicationName() ||
              QGuiApplication::applicationDisplayName().isEmpty());
}

TEST_F(QtDialogsTest, FileDialogsOpenAndCancel) {
  FileDialogRequest request;
  request.StartFolder = "/tmp";
  request.Patterns = {"*.qrk"};
  std::string name = "unverändert";
  WhenShown([](QWidget* d) {
    auto* fd = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(fd, nullptr);
    EXPECT_EQ(fd->objectName(), "SaveDialog");
    EXPECT_TRUE(fd->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(fd->nameFilters().first(), "*.qrk (*.qrk)");
    fd->reject();
  });
  EXPECT_FALSE(service.SaveFileName(request, name));
  EXPECT_EQ(name, "unverändert");
  WhenShown([](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
  EXPECT_FALSE(service.OpenFileName(request, name));
}

TEST_F(QtDialogsTest, CentreDialogOnHostWindow) {
  QWidget host;
  host.setGeometry(100, 100, 800, 600);
  host.show();
  SetDialogHostWindow(&host);
  Settings.FormScalePercent = 150;
  QWidget dialog;
  dialog.resize(200, 100);
  CentreDialog(&dialog);
  EXPECT_EQ(dialog.width(), 300);
  EXPECT_EQ(dialog.height(), 150);
  QRect g = host.frameGeometry();
  EXPECT_EQ(dialog.x(), g.x() + (g.width() - 300) / 2);
  EXPECT_EQ(dialog.y(), g.y() + (g.height() - 150) / 2 + 20);

  // A larger font never shrinks a dialog below its own size before the form scale.
  Settings.FormScalePercent = 100;
  Settings.FontScalePercent = 125;
  QWidget sized;
  auto* layout = new QVBoxLayout(&sized);
  layout->addWidget(new QLabel("Wert"));
  sized.resize(400, 300);
  CentreDialog(&sized);
  EXPECT_GE(sized.width(), 400);
  EXPECT_GE(sized.height(), 300);
  SetDialogHostWindow(nullptr);
  EXPECT_EQ(QtNameFilters({"*.qrk", "*.*"}), "*.qrk (*.qrk);;*.* (*.*)");
}

}  // namespace
