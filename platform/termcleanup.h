// Clean-up when a termination signal (SIGTERM, SIGINT, SIGHUP) ends a run: the run's working
// folder and the output file being written are removed before the process ends by the signal.
#pragma once

#include <string>

namespace qern {

// Installs the handlers (once); until then the registrations below have no effect.
void InstallTerminationCleanup();
// The folder removed with its files on termination; "" for none.
void SetCleanupFolder(const std::string& folder);
// The half-written file removed on termination; "" for none.
void SetCleanupFile(const std::string& file);
// What the handler does, callable directly: removes the registered file and folder.
void RunTerminationCleanup();

}  // namespace qern
