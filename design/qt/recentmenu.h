// The four recent-file items of the File menu: they stand directly before the separator that
// precedes Exit, and show "&k name" with long names shortened.
#pragma once

class QAction;
class QMenu;

namespace qern {

// Hidden when recent file k (1..4) is empty, else shown with its caption.
void SetRecentFileItem(QAction* item, int k);
// The separator before Exit is visible exactly when there is a recent file; the four items before
// it get their captions.
void RefreshRecentFileItems(QMenu* menu);
// Remembers where Exit stands in menu and refreshes the items once.
void InitRecentFileItems(QMenu* menu, QAction* exitItem);

}  // namespace qern
