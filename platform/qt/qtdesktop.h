// The desktop's services for files and links through QDesktopServices.
#pragma once

namespace qern {

// Makes QDesktopServices open documents, web addresses and mail links (platform/desktop.h).
void InstallQtDesktop();

}  // namespace qern
