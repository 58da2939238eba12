// The file handling of one output against the writing of its bytes: a DXF of the size the default
// design gives, on a memory file system, replacing the file of the run before (argument 0) or made
// new (1), three ways in each round so that all see the same machine load:
//   bare    open with truncation, write, close: the writing itself, without any safety;
//   now     what a command-line output pays now: the check that it is no read-only file, then the
//           working file made, written, given the old file's rights and renamed (ReplaceFileContents);
//   before  the system calls the output path made before it was cut down, in their order as
//           strace of that build showed them: four lstat of the target in two checks before the
//           working file, then the fstat after giving it the old group (no access lists then), or
//           for a new file umask twice and fchmod for a new file's mode.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/workfile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MicrosSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void Bare(const std::string& target, const std::string& bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
  ::close(fd);
}

// The earlier path's calls, as its strace showed them per output.
void Before(const std::string& target, const std::string& bytes, bool fresh) {
  struct stat st {};
  ::stat(target.c_str(), &st);  // the output is not the input
  for (int check = 0; check < 2; ++check) {  // the read-only check, then the working file's
    benchmark::DoNotOptimize(::geteuid());
    ::lstat(target.c_str(), &st);
    ::lstat(target.c_str(), &st);
  }
  unsigned char random[6];
  benchmark::DoNotOptimize(::getrandom(random, sizeof random, 0));
  const std::string work = target + ".work";
  const int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
  ::lstat(target.c_str(), &st);
  if (fresh) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  } else {
    benchmark::DoNotOptimize(::geteuid());
    benchmark::DoNotOptimize(::fchown(fd, st.st_uid, st.st_gid));
    struct stat now {};
    ::fstat(fd, &now);
    ::fchmod(fd, st.st_mode & 0777);
  }
  ::fsync(fd);
  ::close(fd);
  ::rename(work.c_str(), target.c_str());
}

void Now(const std::string& target, const std::string& bytes) {
  struct stat st {};
  ::stat(target.c_str(), &st);  // the output is not the input
  if (qern::IsReadOnlyFile(target)) return;
  qern::ReplaceFileContents(target, bytes);
}

void BM_OutputFileHandling(benchmark::State& state) {
  std::error_code ec;
  const std::string folder = fs::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
  std::string pattern = folder + "/qern-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string dir = pattern, target = dir + "/d.dxf";
  const std::string bytes(52623, 'x');
  const bool fresh = state.range(0) == 1;
  Bare(target, bytes);
  double bare = 0, now = 0, before = 0;
  for (auto _ : state) {
    if (fresh) ::unlink(target.c_str());
    auto t = Clock::now();
    Bare(target, bytes);
    bare += MicrosSince(t);
    if (fresh) ::unlink(target.c_str());
    t = Clock::now();
    Before(target, bytes, fresh);
    before += MicrosSince(t);
    if (fresh) ::unlink(target.c_str());
    t = Clock::now();
    Now(target, bytes);
    now += MicrosSince(t);
  }
  fs::remove_all(dir, ec);
  const double n = static_cast<double>(state.iterations());
  state.counters["bare_us"] = bare / n;
  state.counters["before_us"] = before / n;
  state.counters["now_us"] = now / n;
  state.counters["before_vs_bare"] = before / bare;
  state.counters["now_vs_bare"] = now / bare;
}
BENCHMARK(BM_OutputFileHandling)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace
