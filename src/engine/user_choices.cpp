#include "engine/user_choices.h"

#include "base/size_text.h"
#include "platform/drives.h"
#include "platform/text.h"

namespace zq {

void UserChoices::MeasureSpaceAvailable() {
  const std::string dir = platform::UpperCase(InstallDir.substr(0, 1));
  if (dir.empty() || dir[0] < 'A' || dir[0] > 'Z') return;
  SpaceAvailable = platform::FreeBytes(dir[0] - 'A' + 1).value_or(-1);
  ClusterBytes = platform::ClusterBytes(dir[0] - 'A' + 1).value_or(4096);
  SpaceAvailableText = SizeToText(SpaceAvailable);
}

}  // namespace zq
