#include "base/ui_targets.h"

namespace zq {

int DefaultMessageBoxAnswer(unsigned flags) {
  switch (flags & 0xF) {
    case kMbYesNo:
    case kMbYesNoCancel: return kIdYes;
    case kMbRetryCancel: return kIdCancel;  // retrying unattended could never end
    default: return kIdOk;
  }
}

}  // namespace zq
