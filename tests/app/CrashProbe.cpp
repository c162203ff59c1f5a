// A small program that installs the crash handler and then waits or fails as asked, for the crash
// handler's tests. Started again by the handler, it prints the report it was given.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/CrashHandler.h"
#include "app/CrashReport.h"
#include "app/ProgramPath.h"
#include "base/AlternateSignalStack.h"

namespace {

void ready() {
  std::puts("ready");
  std::fflush(stdout);
}

[[noreturn]] void waitForever() {
  for (;;) ::pause();
}

// A read past the end of a mapped empty file: a bus error at a known address.
void busError() {
  FILE* file = std::tmpfile();
  void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, ::fileno(file), 0);
  if (page == MAP_FAILED) std::exit(3);
  std::printf("target %llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(page)));
  std::fflush(stdout);
  std::printf("%d\n", *static_cast<volatile const char*>(page));
}

// Recurses until the thread's stack is gone; the volatile frame and the use of the result after
// the call keep the compiler from turning it into a loop.
int overflowStack(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;  // never: the stack ends long before
  return overflowStack(depth + 1) + frame[0];
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto report = tallyvane::crashReportFromArguments(argc, argv)) {
    std::printf("crash-report code=%d code-address=%llu target=%llu\n", report->code,
                static_cast<unsigned long long>(report->codeAddress),
                static_cast<unsigned long long>(report->targetAddress));
    return 0;
  }
  if (argc < 2 || !tallyvane::installCrashHandler(tallyvane::executablePath())) return 2;
  const std::string mode = argv[1];
  if (mode == "wait") {
    std::thread worker([] { waitForever(); });
    ready();
    waitForever();
  }
  if (mode == "segv-in-thread") {
    // The address comes from the command line so the compiler cannot see the fault coming.
    const uintptr_t address = std::strtoull(argc > 2 ? argv[2] : "16", nullptr, 10);
    std::thread worker([address] { *reinterpret_cast<volatile int*>(address) = 1; });
    worker.join();
  }
  if (mode == "overflow-in-thread") {
    // As a crawl's worker runs.
    std::thread worker([] {
      const tallyvane::AlternateSignalStack signalStack;
      std::printf("%d\n", overflowStack(0));
    });
    worker.join();
  }
  if (mode == "abort-in-thread") {
    std::thread worker([] { std::abort(); });
    worker.join();
  }
  if (mode == "bus") busError();
  return 1;
}
