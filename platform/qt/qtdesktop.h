// The desktop's services for files and links through QDesktopServices.
#pragma once

#include <string>

namespace qern {

// Makes QDesktopServices open documents, web addresses and mail links (platform/desktop.h). A link
// for which the desktop has no program is not handed on: opening it reports false.
void InstallQtDesktop();

// True when the desktop can open the link: a program associated with its scheme, or a web browser
// (the desktop's opener falls back to one for any address, $BROWSER included).
bool HasUrlHandler(const std::string& url);

}  // namespace qern
