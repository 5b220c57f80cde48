// Status texts and gauge steps, reported to whatever the front end registered.
#pragma once

#include <string>

namespace zq {

struct RunScope;
struct RunServices;

void SetStatusText(const RunServices& services, const std::u16string& text);
void SetDetailText(const RunServices& services, const std::u16string& text, bool repaint);
void StepProgress(const RunScope& scope, bool show);
// Ends the run as failed (exit code 2, and undone): the message in the log and a box, the
// failure text on the finish page.
void FailRun(const RunScope& scope, const std::string& message);

}  // namespace zq
