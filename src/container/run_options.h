// The package entry "RunOptions.txt": what the setup says of itself beyond its record, and how
// its run behaves. Text, one "keyword [value]" line each; a reader passes over a line it does
// not know, so an entry with more lines still reads where only some are known.
#pragma once

#include <string>
#include <string_view>

namespace zq {

struct RunOptions {
  // "lockedfiles reboot": a file another program holds is put in place at the next restart.
  bool LockedFilesReboot = false;
  // "version 2.1": the setup's own version, as in its version resource; empty: none.
  std::string Version;
  // "allowdowngrade": the setup may install over a newer version of its product.
  bool AllowDowngrade = false;

  bool Empty() const { return !LockedFilesReboot && Version.empty() && !AllowDowngrade; }
  // The lines, each ended by CR LF.
  std::string Serialize() const;
  static RunOptions Parse(std::string_view text);
};

}  // namespace zq
