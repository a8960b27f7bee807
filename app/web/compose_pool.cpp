#include "app/web/compose_pool.h"

ComposePool::ComposePool(int threads, std::size_t queueLimit) : queueLimit_(queueLimit) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
}

ComposePool::~ComposePool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  threads_.clear();
}

bool ComposePool::TrySubmit(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || queue_.size() >= queueLimit_) return false;
    queue_.push_back(std::move(work));
  }
  ready_.notify_one();
  return true;
}

void ComposePool::Run() {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}
