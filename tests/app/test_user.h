// Running part of a test as an unprivileged user, in a child process. Root may write any file, so
// permission cases prove nothing as root (as CI runs): there the child becomes "nobody". Run as
// anyone else, the tests' own user is already unprivileged.
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

constexpr uid_t kNobody = 65534;

// Makes path belong to the user the child runs as.
inline void GiveToTestUser(const std::string& path) {
  if (::geteuid() == 0) (void)::lchown(path.c_str(), kNobody, kNobody);
}

// How big a file the child may write: as much as it likes, only limit bytes with the write past
// it failing (a full disk), or only limit bytes with the write past it killing the child.
enum class FileRoom { kAny, kFull, kKilledWhenFull };
constexpr rlim_t kRoomWhenFull = 4096;

struct ChildRun {
  bool started = false;  // false: the child could not become the test user
  bool killed = false;
  std::string output;  // what work returned
};

inline ChildRun RunAsTestUser(const std::function<std::string()>& work, FileRoom room) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(channel[0]);
    std::string output = "\x01";  // the mark of a child that could not drop its privileges
    const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                              ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                                              ::setresuid(kNobody, kNobody, kNobody) == 0);
    if (dropped) {
      if (room != FileRoom::kAny) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const rlimit limit{kRoomWhenFull, kRoomWhenFull};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, room == FileRoom::kFull ? SIG_IGN : SIG_DFL);
      }
      output = work();
    }
    (void)!::write(channel[1], output.data(), output.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  ChildRun run;
  char buffer[4096];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    run.output.append(buffer, n);
  ::close(channel[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.killed = WIFSIGNALED(status);
  run.started = run.killed || run.output != "\x01";
  return run;
}
