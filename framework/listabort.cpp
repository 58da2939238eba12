// Closing and cleaning up a listing that ends before CloseListOutput.
#include "framework/listabort.h"

#include <filesystem>
#include <system_error>

#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textfile.h"

namespace qern {

namespace {

// Removes name when it is a plain file (a printer port or other device is never touched).
void RemovePlainFile(const std::string& name) {
  if (name.empty()) return;
  std::error_code ec;
  if (std::filesystem::is_regular_file(name, ec)) std::filesystem::remove(name, ec);
}

}  // namespace

void AbortListOutput() {
  const int dev = Listing.ListDevice;
  const bool openOnListing = DataFile.IsOpen() && DataFile.Name() == Listing.ListFileName;
  DataFile.Close();
  Listing.HtmlTableOpen = false;

  if (dev == DeviceTextPrinter) {
    // Straight to the port: what went out is out. Spooled: the job is dropped unsent.
    if (!Listing.SpoolFileName.empty()) {
      RemovePlainFile(Listing.SpoolFileName);
      Listing.SpoolFileName.clear();
    }
  } else if (openOnListing || dev == DeviceWindow || dev == DevicePrinter ||
             dev == DeviceTextProgram) {
    // The window, printer and text-program devices always write a temporary file of their own.
    RemovePlainFile(Listing.ListFileName);
  }
  if (dev == DeviceHtml && !Settings.HtmlBrowser.empty()) Ident.DataExtension = Listing.SavedDataExtension;
  SetArrowCursor();
}

}  // namespace qern
