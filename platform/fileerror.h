// Why a file operation failed, in the words of the program's messages: one German reason for an
// errno, sharpened by a look at the path (a folder, a link that leads nowhere or belongs to
// another user, a missing folder). Every message about a failed file names its reason so.
#pragma once

#include <string>

namespace qern {

enum class FileAccess { Read, Write };

// The reason why path could not be read or written, for the errno err (0 gives ""). The path is
// looked at again as it stands now.
std::string FileErrorText(int err, const std::string& path, FileAccess access = FileAccess::Write);

// The folder a file of that name lies in, with its closing "/" ("./" for a bare name, the current
// folder by its full name).
std::string FolderOfFile(const std::string& path);

}  // namespace qern
