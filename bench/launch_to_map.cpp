// Starts a program and prints the milliseconds from the launch until a
// top-level window of the given size is mapped on the X display, then ends
// the program.
// Usage: launch_to_map WIDTH HEIGHT PROGRAM [ARGS...]
#include <X11/Xlib.h>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  // A window side in pixels: 1 to 100000, anything else is refused.
  auto side = [](const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && v >= 1 && v <= 100000 ? static_cast<int>(v) : -1;
  };
  const int width = side(argv[1]), height = side(argv[2]);
  if (width < 0 || height < 0) return 2;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 2;
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);
  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(argv[3], argv + 3);
    _exit(127);
  }
  double mapped = -1;
  while (mapped < 0 && Now() - start < 20000) {
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type != MapNotify || mapped >= 0) continue;
      XWindowAttributes a{};
      if (XGetWindowAttributes(d, e.xmap.window, &a) && a.width == width && a.height == height) mapped = Now() - start;
    }
    if (mapped >= 0) break;
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, 50);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (mapped < 0) return 1;
  std::printf("%.1f\n", mapped);
  return 0;
}
