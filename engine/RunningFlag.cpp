#include "engine/RunningFlag.h"

#include <sys/socket.h>

#include <algorithm>

namespace tallyvane {

void RunningFlag::clear() {
  running_.store(false);
  // Under the lock, so libcurl cannot close (and the system reuse) a descriptor meanwhile.
  std::lock_guard lock(mutex_);
  for (int fd : sockets_) ::shutdown(fd, SHUT_RDWR);
}

void RunningFlag::addSocket(int fd) {
  std::lock_guard lock(mutex_);
  sockets_.push_back(fd);
  if (!isSet()) ::shutdown(fd, SHUT_RDWR);
}

void RunningFlag::removeSocket(int fd) {
  std::lock_guard lock(mutex_);
  const auto found = std::find(sockets_.begin(), sockets_.end(), fd);
  if (found != sockets_.end()) {
    *found = sockets_.back();
    sockets_.pop_back();
  }
}

}  // namespace tallyvane
