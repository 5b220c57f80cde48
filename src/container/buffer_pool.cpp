#include "container/buffer_pool.h"

#include <utility>

namespace zq {

Bytes BufferPool::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (kept_.empty()) return {};
  Bytes buffer = std::move(kept_.back());
  kept_.pop_back();
  buffer.clear();
  return buffer;
}

void BufferPool::Give(Bytes&& buffer) {
  if (buffer.capacity() == 0 || buffer.capacity() > largest_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (kept_.size() < keep_) kept_.push_back(std::move(buffer));
}

}  // namespace zq
