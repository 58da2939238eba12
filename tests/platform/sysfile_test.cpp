// System files read without an exception or a wait, and the start time of a process that may end
// at any moment.
#include "platform/sysfile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>

#include "tests/support/testutil.h"

namespace qern {
namespace {

// A child that waits until it is killed.
pid_t StartSleeper() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::pause();
    ::_exit(0);
  }
  return pid;
}

void EndAndReap(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

TEST(ProcessStartTime, OfALiveProcessAndOfOneThatEnded) {
  bool gone = true;
  const double now = static_cast<double>(std::time(nullptr));
  const double mine = ProcessStartTime(::getpid(), &gone);
  EXPECT_FALSE(gone);
  EXPECT_GT(mine, now - 3600);
  EXPECT_LE(mine, now + 1);

  const pid_t child = StartSleeper();
  ASSERT_GT(child, 0);
  EXPECT_GE(ProcessStartTime(child, &gone), mine);
  EXPECT_FALSE(gone);
  EndAndReap(child);
  EXPECT_EQ(ProcessStartTime(child, &gone), -1);
  EXPECT_TRUE(gone);
}

// The process ends between the open of its stat file and the read (the read then fails with
// ESRCH): it counts as ended, and nothing is thrown.
TEST(ProcessStartTime, AProcessThatEndsWhileItsFileIsReadHasEnded) {
  const pid_t child = StartSleeper();
  ASSERT_GT(child, 0);
  const int fd = ::open(("/proc/" + std::to_string(child) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EndAndReap(child);
  bool gone = false;
  double started = 0;
  EXPECT_NO_THROW(started = ProcessStartTimeOf("/proc/self/fd/" + std::to_string(fd), &gone));
  EXPECT_EQ(started, -1);
  EXPECT_TRUE(gone);
  ::close(fd);
}

TEST(ReadSystemFile, PlainFilesOnlyWithinTheLimitAndNeverWaiting) {
  test::TempFolder dir;
  test::WriteWholeFile(dir.File("plain"), "a\nb\n");
  test::WriteWholeFile(dir.File("big"), std::string(5000, 'x'));
  ::mkdir(dir.File("folder").c_str(), 0700);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);  // no writer: an open would wait
  struct Case {
    std::string Name;
    bool Ok;
    int Error;
    std::string Text;
  };
  for (const Case& c : {Case{dir.File("plain"), true, 0, "a\nb\n"},
                        Case{dir.File("missing"), false, ENOENT, ""},
                        Case{dir.File("big"), false, EFBIG, ""},
                        Case{dir.File("folder"), false, EISDIR, ""},
                        Case{"/dev/zero", false, EINVAL, ""},
                        Case{dir.File("fifo"), false, EINVAL, ""}}) {
    SCOPED_TRACE(c.Name);
    std::string text = "old";
    errno = 0;
    bool ok = false;
    EXPECT_NO_THROW(ok = ReadSystemFile(c.Name, text, 4096));
    EXPECT_EQ(ok, c.Ok);
    if (!c.Ok) {
      EXPECT_EQ(errno, c.Error);
    }
    EXPECT_EQ(text, c.Text);
  }
  // A file of /proc reports no size and is read to its end.
  std::string stat;
  ASSERT_TRUE(ReadSystemFile("/proc/self/stat", stat));
  EXPECT_EQ(stat.rfind(std::to_string(::getpid()) + " (", 0), 0u) << stat;
}

}  // namespace
}  // namespace qern
