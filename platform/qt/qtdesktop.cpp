// Documents and links opened by the desktop through QDesktopServices.
#include "platform/qt/qtdesktop.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/desktop.h"
#include "platform/process.h"

namespace qern {

bool HasUrlHandler(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string scheme = url.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme == "file") return true;
  if (HasAssociatedProgram("x-scheme-handler/" + scheme)) return true;
  const char* browser = std::getenv("BROWSER");
  if (browser && *browser) return true;
  for (const char* program : {"x-www-browser", "www-browser", "sensible-browser", "firefox",
                              "firefox-esr", "chromium", "google-chrome", "epiphany", "konqueror"})
    if (ProgramExists(program)) return true;
  return false;
}

void InstallQtDesktop() {
  SetDesktopHooks({[](const std::string& file) {
                     return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
                   },
                   [](const std::string& url) {
                     return HasUrlHandler(url) &&
                            QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
                   }});
}

}  // namespace qern
