// Recent-file items of the File menu, found by their place before the Exit item.
#include "design/qt/recentmenu.h"

#include <QAction>
#include <QMenu>

#include "design/qernfile.h"
#include "framework/progvar.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
int exitIndex = -1;

QAction* ItemAt(QMenu* menu, int index) {
  const QList<QAction*> actions = menu ? menu->actions() : QList<QAction*>{};
  return index >= 0 && index < actions.size() ? actions[index] : nullptr;
}
}  // namespace

void SetRecentFileItem(QAction* item, int k) {
  if (!item || k < 1 || k > RecentFileCount) return;
  const std::string& name = Session.RecentFiles[k - 1];
  item->setVisible(!name.empty());
  if (name.empty()) return;
  // An "&" of the file name is shown as itself, not taken as the accelerator.
  QString shown = QString::fromStdString(ShortenMenuPath(name));
  shown.replace("&", "&&");
  item->setText(QString::fromStdString("&" + IntStr(k) + " ") + shown);
}

void RefreshRecentFileItems(QMenu* menu) {
  if (exitIndex < 0) return;
  if (QAction* separator = ItemAt(menu, exitIndex - 1))
    separator->setVisible(!Session.RecentFiles[0].empty());
  for (int k = 1; k <= RecentFileCount; ++k) SetRecentFileItem(ItemAt(menu, exitIndex - 6 + k), k);
}

void InitRecentFileItems(QMenu* menu, QAction* exitItem) {
  exitIndex = menu ? static_cast<int>(menu->actions().indexOf(exitItem)) : -1;
  RefreshRecentFileItems(menu);
}

}  // namespace qern
