#include "app/run_log.h"

namespace zq {

namespace {

// A message's own line breaks (CR, LF or both: boxes break with a lone CR) become the log's,
// and the lines they start are indented, so they read as part of the entry above them.
std::string LogText(const std::string& line) {
  std::string text;
  text.reserve(line.size() + 2);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c != '\r' && c != '\n') {
      text += c;
      continue;
    }
    if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
    text += "\r\n";
    const bool blank_line = i + 1 == line.size() || line[i + 1] == '\r' || line[i + 1] == '\n';
    if (!blank_line) text += "  ";
  }
  return text + "\r\n";
}

}  // namespace

bool RunLog::Open(const std::string& path) { return file_.Open(path, platform::OpenMode::Create); }

void RunLog::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) return;
  const std::string text = LogText(line);
  file_.Write(text.data(), text.size());  // unbuffered: what was written survives a crash
}

}  // namespace zq
