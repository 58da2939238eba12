// Table lock wrappers: a table window's dataset is told which lock operation follows, then the
// engine locks or releases the table of the current work area.
#pragma once

#include <string>

namespace qern::kelpie {

// A dataset that wants to hear of lock operations before they run (operation "ALock" or "UnLock").
class LockNotifiable {
 public:
  virtual ~LockNotifiable() = default;
  virtual void LockNotification(const std::string& operation) = 0;
};

// Notifies "ALock", then ALock on the current area; true when the table is locked.
bool LockDatasetTable(LockNotifiable& dataset);
// Notifies "UnLock", then Unlock: every lock of the current area is released.
void UnlockDatasetTable(LockNotifiable& dataset);

}  // namespace qern::kelpie
