// Work on a thread of its own that nobody waits for longer than they choose:
// the thread owns the work and the place its answer goes, so the asker may
// stop waiting, or go away altogether, while it runs; it then ends on its own
// and its answer is dropped. For asking services that may never answer.
// At most kMaxDetached such threads live at once: a service that hangs every
// ask leaves that many threads behind, no more; a further ask finds no
// thread and is done at once, without an answer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace vantorel::platform {

inline constexpr int kMaxDetached = 8;

// The threads of Detached work still running.
inline std::atomic<int>& DetachedThreads() {
  static std::atomic<int> live{0};
  return live;
}

template <class T>
class Detached {
 public:
  explicit Detached(std::function<T()> work) : shared_(std::make_shared<Shared>()) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    // A web page has no threads: the work (which there never waits on
    // anything) is done at once.
    try {
      shared_->answer = work();
    } catch (...) {
    }
    shared_->done = true;
    return;
#endif
    if (DetachedThreads().fetch_add(1) >= kMaxDetached) {
      DetachedThreads().fetch_sub(1);
      shared_->done = true;
      return;
    }
    try {
      std::thread([shared = shared_, work = std::move(work)] {
        std::optional<T> answer;
        try {
          answer = work();
        } catch (...) {  // no answer, but done all the same
        }
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->answer = std::move(answer);
        shared->done = true;
        shared->changed.notify_all();
        DetachedThreads().fetch_sub(1);
      }).detach();
    } catch (const std::system_error&) {  // no thread to be had: done, without an answer
      DetachedThreads().fetch_sub(1);
      shared_->done = true;
    }
  }

  // True once the work has ended.
  bool Done() const {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->done;
  }

  // The answer, waiting at most ms milliseconds for it; nullopt when it is
  // not in by then, or the work failed.
  std::optional<T> Within(int ms) const {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return shared_->done; });
    return shared_->answer;
  }

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::optional<T> answer;
  };
  std::shared_ptr<Shared> shared_;
};

}  // namespace vantorel::platform
