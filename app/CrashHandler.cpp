#include "app/CrashHandler.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>

#include "app/CrashReport.h"

extern char** environ;

namespace tallyvane {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

// Everything the handler uses is prepared before it can run: it must not allocate.
char programPath[PATH_MAX];
char crashOption[32];
std::atomic<bool> crashing{false};
static_assert(std::atomic<bool>::is_always_lock_free);

alignas(16) char alternateStack[64 * 1024];

// Decimal digits of value into buffer (at least 21 bytes), zero-terminated.
void formatDecimal(uint64_t value, char* buffer) {
  char digits[21];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = 0; i < count; ++i) buffer[i] = digits[count - 1 - i];
  buffer[count] = '\0';
}

void writeText(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, text, left);
    if (written <= 0) return;
    text += written;
    left -= static_cast<size_t>(written);
  }
}

uint64_t instructionAddress(const void* context) {
  const auto* uc = static_cast<const ucontext_t*>(context);
  if (!uc) return 0;
#if defined(__x86_64__) && defined(__linux__)
  return static_cast<uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__) && defined(__linux__)
  return static_cast<uint64_t>(uc->uc_mcontext.pc);
#elif defined(__x86_64__) && defined(__APPLE__)
  return static_cast<uint64_t>(uc->uc_mcontext->__ss.__rip);
#elif defined(__aarch64__) && defined(__APPLE__)
  return static_cast<uint64_t>(uc->uc_mcontext->__ss.__pc);
#else
  return 0;
#endif
}

void onFatalSignal(int signal, siginfo_t* info, void* context) {
  // A second thread failing meanwhile waits: the first one's exec ends it.
  if (crashing.exchange(true)) {
    for (;;) ::pause();
  }
  char code[24];
  char codeAddress[24];
  char targetAddress[24];
  formatDecimal(static_cast<uint64_t>(signal), code);
  formatDecimal(instructionAddress(context), codeAddress);
  // Only a fault raised by the system carries the touched address; a signal sent by a process
  // carries its sender there instead.
  const bool fromSystem = info && info->si_code > 0;
  formatDecimal(fromSystem ? reinterpret_cast<uintptr_t>(info->si_addr) : 0, targetAddress);

  writeText("Tallyvane has crashed: signal ");
  writeText(code);
  writeText(", code address ");
  writeText(codeAddress);
  writeText(", target address ");
  writeText(targetAddress);
  writeText("\n");

  char* const arguments[] = {programPath, crashOption, code, codeAddress, targetAddress, nullptr};
  ::execve(programPath, arguments, environ);

  // The report could not be shown: end as the signal would have without a handler.
  writeText("Tallyvane could not start its crash report\n");
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

}  // namespace

std::span<const int> crashSignals() { return kCrashSignals; }

bool installCrashHandler(std::string_view program) {
  if (program.empty() || program.size() >= sizeof programPath) return false;
  std::memcpy(programPath, program.data(), program.size());
  programPath[program.size()] = '\0';
  std::memcpy(crashOption, kCrashReportOption.data(), kCrashReportOption.size());
  crashOption[kCrashReportOption.size()] = '\0';

  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);

  struct sigaction action {};
  action.sa_sigaction = onFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  ::sigemptyset(&action.sa_mask);
  // While one fault is being reported, the others wait rather than interrupt it.
  for (const int signal : kCrashSignals) ::sigaddset(&action.sa_mask, signal);
  bool installed = true;
  for (const int signal : kCrashSignals) installed = ::sigaction(signal, &action, nullptr) == 0 && installed;
  return installed;
}

void unblockAllSignals() {
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace tallyvane
