// The threads that compose captions for the server, with a bounded queue in front of them. Each
// thread keeps its own fonts and layout caches, so their number, not the number of connections,
// decides what composing costs in memory.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ComposePool {
 public:
  ComposePool(int threads, std::size_t queueLimit);
  ~ComposePool();  // runs what is queued, then joins
  ComposePool(const ComposePool&) = delete;
  ComposePool& operator=(const ComposePool&) = delete;

  // Queues work for the next free thread; false, with nothing queued, when the queue is full.
  bool TrySubmit(std::function<void()> work);

 private:
  void Run();

  std::size_t queueLimit_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::vector<std::jthread> threads_;
};
