#include "engine/progress.h"

#include "engine/setup_context.h"

namespace zq {

void SetStatusText(SetupContext& ctx, const std::u16string& text) {
  if (ctx.StatusLabel != nullptr) ctx.StatusLabel->SetCaption(text);
}

void SetDetailText(SetupContext& ctx, const std::u16string& text, bool repaint) {
  if (ctx.DetailLabel == nullptr) return;
  ctx.DetailLabel->SetCaption(text);
  if (repaint) ctx.DetailLabel->RepaintParent();
}

void StepProgress(SetupContext& ctx, bool show) {
  if (ctx.Gauge == nullptr) return;
  ++ctx.ProgressPosition;
  if (show) ctx.Gauge->SetPosition(ctx.ProgressPosition);
}

}  // namespace zq
