// The prefix of an uninstall log's name as a script's word gives it: "prefix widget" names the
// product's log widget_install.log, and "uninstalllogload" and "uninstalllogsave" take the
// same word, written with or without its "_".
#pragma once

#include <string>
#include <vector>

namespace zq {

// "widget" and "widget_" give "widget_"; "" gives "" (the log is plain install.log).
std::string LogPrefixOfWord(const std::string& word);

// The prefixes a load of the word tries, in order, each once: the one LogPrefixOfWord gives,
// the word with "_" added (a product whose own prefix ends in "_"), and the word as it stands
// (a log saved under it before the word was read this way).
std::vector<std::string> LogPrefixesToLoad(const std::string& word);

}  // namespace zq
