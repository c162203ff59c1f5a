#include "base/FileDescriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <string>
#include <thread>

namespace tallyvane {
namespace {

TEST(FileDescriptorTest, ClosesOnceWhoeverHoldsItLast) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  FileDescriptor writer(ends[1]);
  {
    FileDescriptor reader(ends[0]);
    FileDescriptor moved(std::move(reader));
    EXPECT_FALSE(reader.valid());
    EXPECT_EQ(moved.get(), ends[0]);
  }
  EXPECT_EQ(::fcntl(ends[0], F_GETFD), -1) << "closed with its last holder";
  errno = ENOENT;
  writer.reset();
  EXPECT_EQ(errno, ENOENT) << "closing keeps the error of the call before";
  EXPECT_EQ(::fcntl(ends[1], F_GETFD), -1);
  EXPECT_FALSE(openFile("/nonexistent/file", O_RDONLY).valid());
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(lastSystemError("opening /nonexistent/file").text, "opening /nonexistent/file: No such file or directory");
}

// A signal whose handler does not ask for restarts interrupts the blocked write and read again and
// again: every byte still arrives once, in order.
TEST(FileDescriptorTest, ReadsAndWritesGoOnWhenSignalsInterruptThem) {
  struct sigaction action {}, old {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);  // no SA_RESTART
  // Should either side give up, the other then ends too, with EPIPE or at the end of the pipe.
  const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  FileDescriptor reader(ends[0]), writer(ends[1]);
  std::string sent(4 << 20, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 / 3);
  std::atomic<bool> done = false;
  std::string received;
  std::thread readerThread([&] {
    char buffer[4096];
    for (ssize_t got; (got = readSome(reader.get(), buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(got));
    reader.reset();
    done = true;
  });
  const pthread_t readerHandle = readerThread.native_handle();
  bool written = false;
  std::thread writerThread([&] {
    written = writeAll(writer.get(), sent);
    writer.reset();  // the reader sees the end
  });
  const pthread_t writerHandle = writerThread.native_handle();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    ::pthread_kill(writerHandle, SIGUSR1);
    ::pthread_kill(readerHandle, SIGUSR1);
    std::this_thread::yield();
  }
  EXPECT_TRUE(done) << "the reader did not reach the end within a minute";
  writerThread.join();
  readerThread.join();
  ::sigaction(SIGUSR1, &old, nullptr);
  std::signal(SIGPIPE, oldPipeHandler);
  EXPECT_TRUE(written);
  EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
}

}  // namespace
}  // namespace tallyvane
