// The user's block files "$name.dx$" (logo, head and insert blocks) in a folder, found by name with
// the letter case ignored. Every drawing asks for a few of them, often in a folder of thousands of
// other files (the folder the program started in), so the folder is not listed for each question.
#pragma once

#include <string>

namespace qern {

// The file "$" + name + ".dx$" in folder ("" = the current folder; a given folder ends with "/"):
// the name exactly as given when that is a plain file, else the first in byte order of the plain
// files whose names match it with the letter case ignored; "" when there is none. The folder's
// names are listed once and kept until a block file name comes or goes there (a folder on a local
// file system is watched), or, where no watch can be had, until its time stamps change.
std::string FindUserBlockFile(const std::string& folder, const std::string& name);

// Listings of a folder made by FindUserBlockFile since the program started.
long UserBlockFolderListings();

// Whether folders on local file systems are watched (the start value: true). Off, every folder is
// judged by its time stamps alone, as one on a network file system is. Forgets every listing.
void WatchUserBlockFolders(bool on);

}  // namespace qern
