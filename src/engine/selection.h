// What the user's choices select from the loaded setup: the components and the package groups
// their lines own, the space the run needs for them, and the licence text in the language in
// use. One place, so the pages, a silent run and the script's own lines agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zq {

struct LoadedSetup;
struct UserChoices;

// Every component at its default: "on" and "fixed" chosen, "off" not.
void DefaultComponents(const LoadedSetup& setup, UserChoices& choices);
// Exactly the named components and the fixed ones (/COMPONENTS=a,b); an empty list keeps only
// the fixed ones. A name the setup lacks changes nothing and is returned as the problem.
std::string ChooseComponents(const LoadedSetup& setup, UserChoices& choices, const std::vector<std::string>& names);
// Component `index` (-1: outside every component) is chosen.
bool ComponentChosen(const UserChoices& choices, int index);
// The lines of package group `group` run.
bool GroupChosen(const LoadedSetup& setup, const UserChoices& choices, std::size_t group);
// The package entries the chosen groups hold (what the progress counts).
std::size_t ChosenGroupedEntries(const LoadedSetup& setup, const UserChoices& choices);

// What the run holds at its peak: every chosen file rounded up to whole clusters of the
// folder's drive (what it replaces is kept until the run ends, so it frees nothing before),
// the uninstaller and the uninstall log. 64 bits: a payload may pass 4 GiB.
std::int64_t RequiredSpace(const LoadedSetup& setup, const UserChoices& choices);
// The free space and cluster of the folder's drive measured again, and the requirement with
// its text recomputed.
void MeasureSpace(const LoadedSetup& setup, UserChoices& choices);
void UpdateSpaceRequired(const LoadedSetup& setup, UserChoices& choices);

// The licence entry for language table `language`: the one made for it, else the one for
// every language, else the first; empty without a licence.
std::string LicenseEntryFor(const LoadedSetup& setup, std::int32_t language);

}  // namespace zq
