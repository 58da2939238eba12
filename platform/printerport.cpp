// Printer ports as device paths and raw print jobs to them.
#include "platform/printerport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/process.h"

namespace qern {

namespace {
std::map<int, std::string>& PortPaths() {
  static std::map<int, std::string> paths;
  return paths;
}

bool WriteAll(const std::string& name, const std::string& bytes) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}
}  // namespace

std::string PrinterPortPath(int n) {
  auto it = PortPaths().find(n);
  if (it != PortPaths().end() && !it->second.empty()) return it->second;
  const std::string var = "QERN_LPT" + std::to_string(n);
  if (const char* env = std::getenv(var.c_str()); env && *env) return env;
  return "/dev/lp" + std::to_string(n - 1);
}

void SetPrinterPortPath(int n, const std::string& path) { PortPaths()[n] = path; }

std::vector<std::string>& RawSpoolCommand() {
  static std::vector<std::string> command = {"lp", "-o", "raw"};
  return command;
}

bool SendRawToPrinterPort(int n, const std::string& bytes, const std::string& tempFolder,
                          std::string& error) {
  error.clear();
  const std::string device = PrinterPortPath(n);
  if (::access(device.c_str(), W_OK) == 0) {
    if (WriteAll(device, bytes)) return true;
    error = device + ": Ausgabe fehlgeschlagen";
    return false;
  }
  std::string folder = tempFolder.empty() ? std::string("/tmp") : tempFolder;
  if (folder.back() != '/') folder += '/';
  std::string job = folder + "$LPT" + std::to_string(n) + "-XXXXXX";
  const int fd = ::mkstemp(job.data());
  if (fd < 0) {
    error = device + ": Druckauftrag kann nicht angelegt werden";
    return false;
  }
  ::close(fd);
  if (!WriteAll(job, bytes)) {
    std::remove(job.c_str());
    error = device + ": Druckauftrag kann nicht angelegt werden";
    return false;
  }
  std::vector<std::string> argv = RawSpoolCommand();
  argv.push_back(job);
  int code = -1;
  const StartResult r = RunAndWait(argv, code);
  std::remove(job.c_str());
  if (r == StartResult::Started && code == 0) return true;
  error = device + " / " + (argv.empty() ? std::string() : argv[0]) + ": " +
          "Ausgabe auf Drucker fehlgeschlagen";
  return false;
}

}  // namespace qern
