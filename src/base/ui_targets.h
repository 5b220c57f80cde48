// What the engine's long work reports to: the front ends (windowed or headless) register
// these with the shared context; with none registered, reporting does nothing.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

class TextTarget {
 public:
  virtual ~TextTarget() = default;
  virtual void SetCaption(const std::u16string& text) = 0;
  // Paints the owner at once, for texts set while the window's thread is busy.
  virtual void RepaintParent() {}
};

class GaugeTarget {
 public:
  virtual ~GaugeTarget() = default;
  virtual void SetPosition(std::int32_t position) = 0;
};

// Message box buttons and answers, with the values the system uses.
enum : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7 };

// The answer an unattended run takes: OK, Yes, and Cancel for a retry question, so that it
// can never loop on a retry.
int DefaultMessageBoxAnswer(unsigned flags);

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Modal; returns the answer (kIdOk, kIdYes, ...).
  virtual int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) = 0;
};

}  // namespace zq
