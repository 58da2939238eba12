// German reasons for failed file operations, from the errno and a look at the path.
#include "platform/fileerror.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/workfile.h"

namespace qern {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The reason of a missing name: a link of the user's that leads nowhere, a folder that is not
// there, or the file itself.
std::string MissingText(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    const std::string target = FollowOwnLinks(path);
    if (!target.empty() && target != path)
      return "Verweis " + path + " führt ins Leere (" + target + ")";
    return "Verweis " + path + " führt ins Leere";
  }
  const std::string folder = FolderOfFile(path);
  if (!IsFolder(folder)) return "Ordner " + folder + " existiert nicht";
  return "Datei " + path + " existiert nicht";
}

std::string DeniedText(const std::string& path, FileAccess access) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_uid != ::geteuid())
    return path + " ist ein Verweis eines anderen Benutzers";
  const std::string file = FollowOwnLinks(path);
  if (file.empty()) return path + ": Verweise im Kreis";
  if (IsFolder(file)) return path + " ist ein Ordner";
  if (::stat(file.c_str(), &st) == 0) {
    if (access == FileAccess::Read)
      return S_ISREG(st.st_mode) ? "keine Leseberechtigung für " + path : path + " ist keine normale Datei";
    if (IsReadOnlyFile(file)) return "keine Schreibberechtigung für " + path;
  }
  if (access == FileAccess::Read) return "kein Zugriff auf den Ordner " + FolderOfFile(file);
  return "keine Schreibberechtigung im Ordner " + FolderOfFile(file);
}

}  // namespace

std::string FolderOfFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) return path.substr(0, slash + 1);
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd)) {
    std::string folder = cwd;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  return "./";
}

std::string FileErrorText(int err, const std::string& path, FileAccess access) {
  switch (err) {
    case 0: return "";
    case ENOENT:
    case ENOTDIR: return MissingText(path);
    case EACCES:
    case EPERM: return DeniedText(path, access);
    case EISDIR: return path + " ist ein Ordner";
    case ELOOP: return path + ": Verweise im Kreis";
    case EROFS: return "schreibgeschütztes Dateisystem";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case ENOSPC:
    case EDQUOT: return "Diskette/Platte voll";
    case EFBIG: return "Datei zu groß";
    case ENOMEM: return "nicht genügend Speicher";
    case ENAMETOOLONG: return "Name zu lang";
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return "Gerät " + path + " nicht bereit";
    case ETXTBSY: return "Datei " + path + " ist in Gebrauch";
    case EIO: return access == FileAccess::Read ? "Lesefehler" : "Schreibfehler";
    default: return "Fehler bei Zugriff auf Diskette/Platte (Nr. " + std::to_string(err) + ")";
  }
}

}  // namespace qern
