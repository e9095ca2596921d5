// Frame animation on a label or a button: the background image steps
// through a numbered series ("res\mainWnd\installBtnAnimate\%.3d.png") on
// timer 2100 of the control.
#pragma once

#include <cstdint>
#include <string>

#include "skinui/controls.h"

constexpr uint32_t kSequenceTimerId = 2100;

// The animation state shared by both controls.
class SequenceAnimation {
 public:
  SequenceAnimation(int32_t span, bool back_and_forth) : span_(span), back_and_forth_(back_and_forth) {}

  // Attributes: true when |name| was one of the animation's.
  bool SetAttribute(const std::wstring& name, const std::wstring& value);
  // One timer tick: the frame to show (and advances), or -1 when nothing is
  // shown. Sets |stop| when the timer must be killed.
  int64_t Tick(bool& stop);

  std::wstring FramePath(int64_t frame) const;
  std::wstring format;
  int32_t count = 0;
  int32_t span_;
  bool auto_start = false;
  bool loop = true;
  bool back_and_forth_;
  bool forward = true;
  int32_t index = 0;
};

class CSequenceLabelUI : public CLabelUI {
 public:
  CSequenceLabelUI();
  ~CSequenceLabelUI() override;
  std::wstring GetClass() const override { return L"SequenceLabel"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  virtual void SetFrameFormat(const std::wstring& format) { anim_.format = format; }
  virtual std::wstring GetFrameFormat() const { return anim_.format; }
  virtual void SetFrameCount(int32_t count) { anim_.count = count; }
  virtual int32_t GetFrameCount() const { return anim_.count; }
  virtual void SetSpan(int32_t span) { anim_.span_ = span; }
  virtual int32_t GetSpan() const { return anim_.span_; }

  // index = 0 and set timer 2100 with the span (a running timer keeps its
  // interval).
  void Start();
  void Stop();
  const SequenceAnimation& animation() const { return anim_; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoInit() override;
  void DoEvent(TEventUI& event) override;

 private:
  SequenceAnimation anim_{30, false};
};

class CSequenceButtonUI : public CButtonUI {
 public:
  CSequenceButtonUI();
  ~CSequenceButtonUI() override;
  std::wstring GetClass() const override { return L"SequenceButton"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  virtual void SetFrameFormat(const std::wstring& format) { anim_.format = format; }
  virtual std::wstring GetFrameFormat() const { return anim_.format; }
  virtual void SetFrameCount(int32_t count) { anim_.count = count; }
  virtual int32_t GetFrameCount() const { return anim_.count; }
  virtual void SetSpan(int32_t span) { anim_.span_ = span; }
  virtual int32_t GetSpan() const { return anim_.span_; }

  void Start();
  void Stop();
  const SequenceAnimation& animation() const { return anim_; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoInit() override;
  void DoEvent(TEventUI& event) override;

 private:
  SequenceAnimation anim_{60, true};
};
