#pragma once
// Which thread may call a function, checked by assert in debug builds. Where a header says which
// thread calls what, the functions check it on entry: a call from the wrong thread is a race the
// sanitizers may not catch, so a debug build stops at it.

#include <thread>

namespace tallyvane {

// The thread that made an object (a front end's main thread) owns it.
class ThreadOwner {
 public:
  bool isCurrent() const { return id_ == std::this_thread::get_id(); }

 private:
  std::thread::id id_ = std::this_thread::get_id();
};

// A crawl's own threads say what they are, for the rest of their lives.
enum class ThreadRole { Other, Controller, Worker };

inline ThreadRole& threadRoleSlot() {
  thread_local ThreadRole role = ThreadRole::Other;
  return role;
}
inline void takeThreadRole(ThreadRole role) { threadRoleSlot() = role; }
inline bool onThread(ThreadRole role) { return threadRoleSlot() == role; }

}  // namespace tallyvane
