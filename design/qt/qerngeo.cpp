// The geometry input window (temporary stand-in until the window is built).
#include "design/qt/qerngeo.h"

#include "framework/progvar.h"

namespace qern {

bool EditDimensions(QWidget* parent) {
  (void)parent;
  Flags.AbortFlag = true;
  return false;
}

}  // namespace qern
