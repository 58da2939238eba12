// Every menu item of the main window is drawn with its whole text, in every menu language: the
// text reaching the paint engine, item by item, against the item's own text.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <map>
#include <vector>

#include "app/qt/qernu.h"
#include "design/vmenuglem.h"
#include "framework/menucaptions.h"
#include "platform/scripteddialogs.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/qt/textrecorder.h"

namespace qern {
namespace {

// The text of a caption as the menu shows it: the mnemonic marks gone ("&&" stays one "&").
QString Shown(QString text) {
  text = text.left(text.indexOf('\t') < 0 ? text.size() : text.indexOf('\t'));
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

// The texts drawn in each item's row of an open menu (its shortcut included), joined.
std::map<const QAction*, QString> DrawnTexts(QMenu* menu) {
  test::TextRecorder recorder(menu);
  menu->render(&recorder);
  std::map<const QAction*, QString> drawn;
  // In the order drawn: a disabled item's text is drawn twice (its shadow first).
  const std::vector<test::TextRecorder::Piece>& pieces = recorder.Pieces;
  for (const QAction* a : menu->actions()) {
    if (a->isSeparator() || !a->isVisible()) continue;
    const QRect row = menu->actionGeometry(const_cast<QAction*>(a));
    for (const auto& piece : pieces)
      if (row.contains(QPoint(row.center().x(), static_cast<int>(piece.At.y() - 1))) &&
          piece.At.y() > row.top() && piece.At.y() <= row.bottom() + 1)
        drawn[a] += piece.Text;
  }
  return drawn;
}

void CollectMenus(QMenu* menu, std::vector<QMenu*>& menus) {
  menus.push_back(menu);
  for (QAction* a : menu->actions())
    if (a->menu()) CollectMenus(a->menu(), menus);
}

TEST(MenuItemTexts, EveryItemIsDrawnWhole) {
  test::MainWindowEnvironment env;
  ScopedScriptedDialogs dialogs;
  Thh window(false);
  window.show();
  std::vector<QMenu*> menus;
  for (QAction* a : window.menuBar()->actions())
    if (a->menu()) CollectMenus(a->menu(), menus);
  ASSERT_GE(menus.size(), 8u);
  for (const int language : MenuLanguageNumbers) {
    window.SetLanguage(language);
    for (QMenu* menu : menus) {
      menu->popup(QPoint(0, 0));
      QApplication::processEvents();
      const std::map<const QAction*, QString> drawn = DrawnTexts(menu);
      for (const QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible() || a->text().isEmpty()) continue;
        const auto it = drawn.find(a);
        const QString text = it == drawn.end() ? QString() : it->second;
        EXPECT_TRUE(text.contains(Shown(a->text())))
            << "language " << language << ", " << a->objectName().toStdString() << ": drawn \""
            << text.toStdString() << "\" for \"" << Shown(a->text()).toStdString() << "\"";
      }
      menu->hide();
    }
  }
  window.SetLanguage(1);
}

}  // namespace
}  // namespace qern
