// Print variables of the drawing printout with their start values.
#include "framework/wprinvar.h"

namespace qern {

PrintVariables PrintVars;

void InitPrintVariables() { PrintVars = PrintVariables{}; }

}  // namespace qern
