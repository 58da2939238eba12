// The desktop's handlers for files, web addresses and mail links: opening a document with its
// associated program, and whether the desktop associates a program with a file type at all.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qern {

// How documents and links are opened; the Qt program installs the desktop's own services.
// Without them xdg-open is started.
struct DesktopHooks {
  std::function<bool(const std::string& file)> OpenFile;
  std::function<bool(const std::string& url)> OpenUrl;
};
void SetDesktopHooks(const DesktopHooks& hooks);

// Opens file with the program the desktop associates with it; false when nothing was started.
bool OpenWithDesktop(const std::string& file);
// Opens a web address or a mailto: link with the desktop's handler.
bool OpenUrl(const std::string& url);

// How OpenWithProgram opened a file.
enum class OpenedWith { Program, Desktop, Nothing };
// Starts program with file; when the program does not exist here but names a Windows program, the
// desktop's handler opens the file instead. Nothing when neither could be started.
OpenedWith OpenWithProgram(const std::string& program, const std::string& file);

// True when a desktop entry is associated with the MIME type: a default or added association in
// a mimeapps.list, or an entry of a mimeinfo.cache, in the XDG configuration and data folders.
bool HasAssociatedProgram(const std::string& mimeType);
// The files HasAssociatedProgram reads, most important first (from the XDG variables).
std::vector<std::string> MimeAssociationFiles();

// "%" escapes for a query value of a link (RFC 3986 unreserved characters stay).
std::string UrlEncode(const std::string& s);
// The "%" escapes of a link undone ("%20" gives a blank); a "%" without two hex digits stays.
std::string UrlDecode(const std::string& s);
// A link as a person reads it in a message: a mailto: link as its address and its subject
// ("info@example.com, Betreff: QERN V1.0"), any other link as it is.
std::string ReadableLink(const std::string& url);

}  // namespace qern
