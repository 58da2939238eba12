// Table lock wrappers over ALock and Unlock of the work-area API.
#include "tablengine/kplock.h"

#include "tablengine/kpapi.h"

namespace qern::kelpie {

bool LockDatasetTable(LockNotifiable& dataset) {
  dataset.LockNotification("ALock");
  return ALock();
}

void UnlockDatasetTable(LockNotifiable& dataset) {
  dataset.LockNotification("UnLock");
  Unlock();
}

}  // namespace qern::kelpie
