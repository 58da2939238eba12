// Ending a listing that was cancelled or failed after its output was opened: the output is
// closed and its unfinished file removed, so no half listing is left behind as if it were whole.
#pragma once

namespace qern {

// Call after OpenListOutput succeeded, when Flags.AbortFlag ends the listing before
// CloseListOutput. Closes DataFile; removes the listing's working file (the temporary file of the
// window, printer and text-program devices, the text printer's spool file, and any file that
// DataFile had open for this listing, never a device); puts back the design-file extension that
// the HTML device holds while a browser is configured; arrow cursor. AbortFlag stays set.
void AbortListOutput();

}  // namespace qern
