#include "app/run_log.h"

namespace zq {

bool RunLog::Open(const std::string& path) { return file_.Open(path, platform::OpenMode::Create); }

void RunLog::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) return;
  const std::string text = line + "\r\n";
  file_.Write(text.data(), text.size());  // unbuffered: what was written survives a crash
}

}  // namespace zq
