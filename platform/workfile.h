// Working files and private working folders. Every output file is made one way: written under a
// fresh random name beside its target (created with O_CREAT|O_EXCL|O_NOFOLLOW, so that nothing
// planted under any name is ever opened), registered with the termination clean-up before it is
// created, and renamed over the target's name when it is complete. A link at the target's name is
// replaced, never written through; a failed or dropped output leaves the target as it was.
#pragma once

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

  // Creates the working file beside target. False (errno in Error()) when it cannot be made, or
  // when target names a folder, a device, a pipe or a socket.
  bool Create(const std::string& target);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }  // the working name
  const std::string& Target() const { return target_; }
  bool Write(std::string_view bytes);
  // Gives the file the permissions of a newly created file (or mode, when given), writes it to the
  // disk, closes it and renames it over the target's name. False (errno in Error(); the working
  // file removed, the target untouched) on any failure.
  bool Commit(int mode = -1);
  // Closes and removes the working file.
  void Discard();
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int cleanup_ = -1;
  int error_ = 0;
  std::string target_, name_;
};

// The working name beside target with the given random part: "." + the target's name + "." +
// random, the target's name cut (at a character) so that the whole stays within MaxFileNameBytes.
std::string WorkNameBeside(const std::string& target, const std::string& random);

// Writes bytes as the file target through a working file; false (errno in *error) on failure.
bool ReplaceFileContents(const std::string& target, std::string_view bytes, int* error = nullptr);

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
