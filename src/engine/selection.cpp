#include "engine/selection.h"

#include "base/path_text.h"
#include "base/size_text.h"
#include "container/entry_names.h"
#include "engine/loaded_setup.h"
#include "engine/user_choices.h"
#include "platform/text.h"

namespace zq {

void DefaultComponents(const LoadedSetup& setup, UserChoices& choices) {
  choices.ComponentChosen.clear();
  for (const ComponentInfo& c : setup.Components) choices.ComponentChosen.push_back(c.Selected());
}

std::string ChooseComponents(const LoadedSetup& setup, UserChoices& choices, const std::vector<std::string>& names) {
  std::vector<bool> chosen;
  for (const ComponentInfo& c : setup.Components) chosen.push_back(c.State == ComponentState::Fixed);
  for (const std::string& name : names) {
    const int index = FindComponent(setup.Components, name);
    if (index < 0) return "the setup has no component \"" + name + "\"";
    chosen[static_cast<std::size_t>(index)] = true;
  }
  choices.ComponentChosen = std::move(chosen);
  return {};
}

bool ComponentChosen(const UserChoices& choices, int index) {
  if (index < 0) return true;
  const auto i = static_cast<std::size_t>(index);
  return i >= choices.ComponentChosen.size() || choices.ComponentChosen[i];
}

bool GroupChosen(const LoadedSetup& setup, const UserChoices& choices, std::size_t group) {
  return group >= setup.GroupComponent.size() || ComponentChosen(choices, setup.GroupComponent[group]);
}

std::size_t ChosenGroupedEntries(const LoadedSetup& setup, const UserChoices& choices) {
  if (!setup.Pak) return 0;
  std::size_t n = 0;
  for (const TPakEntry& e : setup.Pak->Entries()) n += e.Group != 0 && GroupChosen(setup, choices, e.Group);
  return n;
}

std::int64_t RequiredSpace(const LoadedSetup& setup, const UserChoices& choices) {
  if (!setup.Pak || setup.IsUninstaller()) return 0;
  const std::int64_t cluster = choices.ClusterBytes > 0 ? choices.ClusterBytes : 4096;
  auto whole_clusters = [cluster](std::int64_t bytes) { return (bytes + cluster - 1) / cluster * cluster; };
  std::int64_t total = 0, log = 0, uninstaller = 0, carried = -1;
  for (const TPakEntry& e : setup.Pak->Entries()) {
    if (e.Group == 0 && platform::UpperCase(e.Name).rfind(kUninstallPrefix, 0) == 0) uninstaller += e.StoredSize();
    if (e.Group == 0 && platform::UpperCase(e.Name) == platform::UpperCase(kSignedUninstallerEntry)) {
      carried = e.OrigSize;
    }
    if (e.Group == 0 || e.Group >= setup.GroupFlags.size() || !GroupChosen(setup, choices, e.Group)) continue;
    total += whole_clusters(setup.GroupFlags[e.Group] == 0 ? e.OrigSize : e.StoredSize());
    log += static_cast<std::int64_t>(e.Name.size()) + 16;  // its line: "$INSTDIR\", the name, a count
  }
  if (setup.SetupInfo.HasUninstaller == 1 && !setup.Pak->Entries().empty()) {
    // The uninstaller signed at build time is written as it is; else this program part and the
    // uninstaller's entries are copied.
    if (carried >= 0) uninstaller = carried;
    else uninstaller += setup.Pak->Entries().front().Offset;
    total += whole_clusters(uninstaller) + whole_clusters(log);
  }
  return total;
}

void UpdateSpaceRequired(const LoadedSetup& setup, UserChoices& choices) {
  if (!setup.Pak) return;  // nothing to measure: the requirement stays as it was set
  choices.SpaceRequired = RequiredSpace(setup, choices);
  choices.SpaceRequiredText = SizeToText(choices.SpaceRequired);
}

void MeasureSpace(const LoadedSetup& setup, UserChoices& choices) {
  choices.MeasureSpaceAvailable();
  UpdateSpaceRequired(setup, choices);
}

std::string LicenseEntryFor(const LoadedSetup& setup, std::int32_t language) {
  if (setup.Licenses.empty()) return {};
  if (language >= 0 && static_cast<std::size_t>(language) < setup.LanguageNames.size()) {
    const std::string name = AsciiLowerCase(setup.LanguageNames[static_cast<std::size_t>(language)]);
    for (const auto& l : setup.Licenses) {
      if (!l.Language.empty() && AsciiLowerCase(l.Language) == name) return l.Entry;
    }
  }
  for (const auto& l : setup.Licenses) {
    if (l.Language.empty()) return l.Entry;
  }
  return setup.Licenses.front().Entry;
}

}  // namespace zq
