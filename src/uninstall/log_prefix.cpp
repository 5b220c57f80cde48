#include "uninstall/log_prefix.h"

#include <algorithm>

namespace zq {

std::string LogPrefixOfWord(const std::string& word) {
  if (word.empty() || word.back() == '_') return word;
  return word + "_";
}

std::vector<std::string> LogPrefixesToLoad(const std::string& word) {
  std::vector<std::string> out;
  for (const std::string& p : {LogPrefixOfWord(word), word.empty() ? word : word + "_", word}) {
    if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  }
  return out;
}

}  // namespace zq
