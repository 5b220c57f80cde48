// Status texts and gauge steps, reported to whatever the front end registered.
#pragma once

#include <string>

namespace zq {

class SetupContext;

void SetStatusText(SetupContext& ctx, const std::u16string& text);
void SetDetailText(SetupContext& ctx, const std::u16string& text, bool repaint);
void StepProgress(SetupContext& ctx, bool show);

}  // namespace zq
