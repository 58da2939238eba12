// Printer ports: "LPTn" of the classic program as a configurable device path, and raw output of
// a print job to it (straight to the device when it can be written, else through the spooler).
#pragma once

#include <string>
#include <vector>

namespace qern {

// The device path of port n: the path set with SetPrinterPortPath, else the environment variable
// QERN_LPT<n> when set, else "/dev/lp" + (n - 1).
std::string PrinterPortPath(int n);
// Sets the path of port n ("" goes back to the environment or the default).
void SetPrinterPortPath(int n, const std::string& path);

// The spooler command for raw jobs; the job file is appended as its last argument.
std::vector<std::string>& RawSpoolCommand();  // {"lp", "-o", "raw"} at start

// Sends bytes unchanged to port n. When the port's device cannot be written, the job goes to a
// file in tempFolder that the spooler prints (the file is removed afterwards). False with a
// German reason in error when neither worked.
bool SendRawToPrinterPort(int n, const std::string& bytes, const std::string& tempFolder,
                          std::string& error);

}  // namespace qern
