// Clean-up when a termination signal (SIGTERM, SIGINT, SIGHUP) ends a run: every working file and
// working folder registered here is removed before the process ends by the signal.
#pragma once

#include <string>

namespace qern {

// Installs the handlers (once). Registering a name installs them too, so a working file is never
// created before they stand.
void InstallTerminationCleanup();
// Registers a file, or a flat folder removed with its files, to be removed on termination; the
// handle is for UnregisterCleanup (-1 when the name is too long or every slot is taken). Register
// before creating the file or folder, unregister after it was renamed or removed.
int RegisterCleanupFile(const std::string& file);
int RegisterCleanupFolder(const std::string& folder);
void UnregisterCleanup(int handle);
// What the handler does, callable directly: removes every registered file, then every folder.
void RunTerminationCleanup();
// Removes the plain entries of a flat folder, then the folder; safe inside a signal handler.
void RemoveFlatFolder(const char* path);

}  // namespace qern
