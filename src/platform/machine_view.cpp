#include "platform/machine_view.h"

#include <atomic>

namespace zq::platform {

namespace {
std::atomic<bool> native_view{false};
}  // namespace

void UseNativeView(bool on) { native_view = on; }
bool NativeView() { return native_view; }

}  // namespace zq::platform
