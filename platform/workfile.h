// Working files and private working folders. Every output file is made one way: written under a
// fresh random name beside its target (created with O_CREAT|O_EXCL|O_NOFOLLOW, so that nothing
// planted under any name is ever opened), registered with the termination clean-up before it is
// created, and renamed over the target's name when it is complete. A link at the target's name that
// belongs to this user is followed: the file it leads to is replaced the same way and the link
// stays. Any other link is replaced, never written through (in a shared folder with the sticky bit
// the rename is refused). The new file takes the mode, group, access ACL and user attributes of the
// file it replaces (the owner too when run as root), never its folder's default ACL, and where one
// of them cannot be kept it gives less access, never more; an existing file that may not be
// written is refused. A failed or dropped output leaves the target as it was.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace qern {

// The longest file name (one folder entry) the file systems take, in bytes.
constexpr size_t MaxFileNameBytes = 255;

class WorkFile {
 public:
  WorkFile() = default;
  ~WorkFile();  // an uncommitted working file is removed
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  // Creates the working file beside target (beside the file that this user's links at target lead
  // to). False (errno in Error()) when it cannot be made, when target names a folder, a device, a
  // pipe or a socket, or (EACCES) when it names a file that may not be written.
  bool Create(const std::string& target);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }  // the working name
  const std::string& Target() const { return target_; }
  // The name the working file replaces: the target, or the file this user's links there lead to.
  const std::string& Replaced() const { return replaced_; }
  // Off: Commit does not wait for the disk (scratch files that the program reads back or erases).
  void SetSync(bool on) { sync_ = on; }
  bool Write(std::string_view bytes);
  // Gives the file the mode, group, access ACL and user attributes (and as root the owner) of the
  // file it replaces, or when there is none the permissions of a newly created file (mode, when
  // given, in either case), writes it
  // to the disk, closes it and renames it over the replaced name. False (errno in Error(); the
  // working file removed, the target untouched) on any failure.
  bool Commit(int mode = -1);
  // Closes and removes the working file.
  void Discard();
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int cleanup_ = -1;
  int error_ = 0;
  bool sync_ = true;
  bool fresh_ = false;  // made for a name where no file was
  uid_t me_ = 0;        // the user who made it
  std::string target_, replaced_, name_;
};

// The file that name leads to through the links that belong to this user (name itself when it is
// no such link); "" (errno set) when the links go round in a circle.
std::string FollowOwnLinks(const std::string& name);

// True when name (through this user's links) is an existing file that this user may not write, or
// that has no write permission for anyone (a file its owner made read-only, also for root).
bool IsReadOnlyFile(const std::string& name);

// Gives the open file fd the rights of the file name (a file, not followed through a link) as a
// working file takes those of the file it replaces: the mode, group, access ACL and user
// attributes (the owner too as root). False when name is no file or the rights cannot be given.
bool TakeRightsOf(int fd, const std::string& name);

// The working name beside target with the given random part: "." + the target's name + "." +
// random, the target's name cut (at a character) so that the whole stays within MaxFileNameBytes.
std::string WorkNameBeside(const std::string& target, const std::string& random);

// Writes bytes as the file target through a working file; false (errno in *error) on failure.
// Without sync the file is not waited for on the disk (scratch files).
bool ReplaceFileContents(const std::string& target, std::string_view bytes, int* error = nullptr,
                         bool sync = true);

// A private working folder "." + stem + "-" + pid + "-" + random under parent (mode 0700),
// registered with the termination clean-up before it is made; "" when it cannot be made. The
// folder holds plain files only.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  ~PrivateFolder();  // removes the folder with its files
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  bool Create(const std::string& parent, const std::string& stem);
  // Removes the folder with its files, then forgets it.
  void Remove();
  const std::string& Path() const { return path_; }  // without a closing "/"

 private:
  std::string path_;
  int cleanup_ = -1;
};

// Removes the private folders of this user under each parent that a process left behind when it
// was killed: "." + stem + "-" + pid + "-" + random whose process no longer exists (or whose
// process id now belongs to a process started after the folder), and the older names stem + "-" +
// random (no process id) once they are an hour old. Only folders owned by this user are touched.
void RemoveStalePrivateFolders(const std::vector<std::string>& parents,
                               const std::vector<std::string>& stems);

}  // namespace qern
