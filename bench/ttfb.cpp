// Time from a command's start to the first byte of its standard output, and
// to its exit:
//   sonavel_ttfb RUNS COMMAND [ARG ...]
// Runs the command RUNS times (after one run that is not counted), reads its
// output through a pipe (its standard error goes to /dev/null) and prints
// the median and the smallest of both times in milliseconds.
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// One run: the times to the first byte and to the exit, or false.
bool Run(char** argv, double* first, double* exit) {
  int fd[2];
  if (pipe(fd) != 0) return false;
  double start = Now();
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(fd[1], STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    close(fd[0]);
    close(fd[1]);
    execvp(argv[0], argv);
    _exit(127);
  }
  close(fd[1]);
  char buf[65536];
  *first = -1;
  for (;;) {
    ssize_t n = read(fd[0], buf, sizeof buf);
    if (n <= 0) break;
    if (*first < 0) *first = Now() - start;
  }
  close(fd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  *exit = Now() - start;
  return *first >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RUNS COMMAND [ARG ...]\n", argv[0]);
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  std::vector<double> firsts, exits;
  for (int i = 0; i <= runs; i++) {
    double first, exit;
    if (!Run(argv + 2, &first, &exit)) {
      std::fprintf(stderr, "%s failed or wrote nothing\n", argv[2]);
      return 1;
    }
    if (i == 0) continue;  // warm-up
    firsts.push_back(first);
    exits.push_back(exit);
  }
  std::printf("first byte: median %.2f ms, min %.2f ms; exit: median %.2f ms, min %.2f ms (%d runs)\n", Median(firsts),
              *std::min_element(firsts.begin(), firsts.end()), Median(exits),
              *std::min_element(exits.begin(), exits.end()), runs);
  return 0;
}
