// Documents and links opened by the desktop through QDesktopServices.
#include "platform/qt/qtdesktop.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/desktop.h"

namespace qern {

void InstallQtDesktop() {
  SetDesktopHooks({[](const std::string& file) {
                     return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
                   },
                   [](const std::string& url) {
                     return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
                   }});
}

}  // namespace qern
