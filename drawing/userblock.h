// The user's block files "$name.dx$" (logo, head and insert blocks) in a folder, found by name with
// the letter case ignored. Every drawing asks for a few of them, often in a folder of thousands of
// other files (the folder the program started in), so the folder is not listed for each question.
#pragma once

#include <string>

namespace qern {

// The file "$" + name + ".dx$" in folder ("" = the current folder; a given folder ends with "/"):
// the name exactly as given when that is a plain file, else the first in byte order of the plain
// files whose names match it with the letter case ignored; "" when there is none. The folder's
// names are listed once and kept until the folder changes (a folder changed within the last
// seconds is listed again at each question, since its time stamp may not show a change yet).
std::string FindUserBlockFile(const std::string& folder, const std::string& name);

// Listings of a folder made by FindUserBlockFile since the program started.
long UserBlockFolderListings();

}  // namespace qern
