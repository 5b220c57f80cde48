// The language-table texts the program asks for by number (docs/language-tables.md has the
// table). The numbers are stored in every table ever written, so they never change.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

enum class TextId : std::int32_t {
  SpaceAvailable = 7,
  BackButton = 12,
  NextButton = 13,
  CancelButton = 14,
  InstallButton = 15,  // Next on the confirmation page
  FinishButton = 16,   // Cancel on the finish page
  CopyingFile = 17,    // the uninstaller's: what its progress calls files
  ExtractingFile = 18,
  ArchiveProgress = 19,  // the uninstaller's: the removal's progress
  WritingArchiveHeader = 20,
  SetupFailed = 23,
  RegistryValuesName = 24,  // the uninstaller's; the installer's directory page title
  FoldersName = 25,         // the uninstaller's; the installer's directory page prompt
  UninstallTitle = 26,
  QuitQuestion = 27,
  QuitCaption = 28,
  LoadingArchive = 29,
};

constexpr std::int32_t Number(TextId id) { return static_cast<std::int32_t>(id); }

// The language tag that stands for the text in page captions ("<LANG7>").
inline std::u16string LangTag(TextId id) {
  const std::string digits = std::to_string(Number(id));
  return u"<LANG" + std::u16string(digits.begin(), digits.end()) + u">";
}

}  // namespace zq
