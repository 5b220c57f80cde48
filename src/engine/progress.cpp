#include "engine/progress.h"

#include "engine/setup_context.h"
#include "platform/text.h"

namespace zq {

void SetStatusText(const RunServices& services, const std::u16string& text) {
  if (services.StatusLabel != nullptr) services.StatusLabel->SetCaption(text);
}

void SetDetailText(const RunServices& services, const std::u16string& text, bool repaint) {
  if (services.DetailLabel == nullptr) return;
  services.DetailLabel->SetCaption(text);
  if (repaint) services.DetailLabel->RepaintParent();
}

void FailRun(const RunScope& scope, const std::string& message) {
  scope.Services.LogLine("Error: " + message);
  scope.Services.ShowMessageBox(platform::Utf8ToWide(message), u"Error", kMbOk | kMbIconError);
  SetDetailText(scope.Services, scope.Text(TextId::SetupFailed), true);
  scope.Run.SetupAborted = true;
}

void StepProgress(const RunScope& scope, bool show) {
  if (scope.Services.Gauge == nullptr) return;
  ++scope.Run.ProgressPosition;
  if (show) scope.Services.Gauge->SetPosition(scope.Run.ProgressPosition);
}

}  // namespace zq
