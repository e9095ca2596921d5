// CSkinShadow: the soft drop shadow of a skinned window, drawn in a separate
// translucent, click-through window behind its owner that follows it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "skinui/bitmap.h"
#include "skinui/native_window.h"
#include "skinui/painter.h"

struct ShadowParams {
  uint8_t darkness = 150;   // 0..255, opacity of the darkest pixel
  uint8_t sharpness = 5;    // 0..20, width of the blurred edge
  int8_t size = 0;          // -20..20, reach beyond the window on each side
  int8_t x_offset = 5;      // -20..20
  int8_t y_offset = 5;      // -20..20
  uint32_t color = 0;       // 0x00BBGGRR: lowest byte red
};

// Computes the shadow bitmap for a window of |width| x |height| cut to
// |region| (one span per window row). The result is (width + 2 size) x
// (height + 2 size), premultiplied, top row first; the part the window
// covers is transparent. An empty region casts no shadow (all zero).
skinui::Bitmap MakeShadowBitmap(const std::vector<skinui::RowSpan>& region, int width, int height,
                                const ShadowParams& params);

class CSkinShadow {
 public:
  CSkinShadow();
  ~CSkinShadow();
  CSkinShadow(const CSkinShadow&) = delete;
  CSkinShadow& operator=(const CSkinShadow&) = delete;

  // Process-wide, once before the first shadow. Answers false (and no
  // shadow is ever created) when the display cannot show translucent
  // windows, unless |require_translucency| is false; a second call answers
  // false.
  static bool Initialize(bool require_translucency = true);
  static bool IsAvailable();

  // Creates the hidden shadow window for |owner|; it shows with the owner.
  void Create(skinui::CNativeWindow* owner);
  // Each setter stores a value in range and answers true, else answers false
  // and keeps the old value; a visible shadow is recomputed at once.
  bool SetSize(int size);
  bool SetSharpness(int sharpness);
  bool SetDarkness(int darkness);
  bool SetPosition(int x, int y);
  bool SetColor(uint32_t color);
  const ShadowParams& params() const { return params_; }

  // The owner's messages, seen before the owner handles them.
  void OnOwnerMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

  bool IsVisible() const { return (status_ & kVisible) != 0; }
  skinui::WindowHandle window() const;
  // The bitmap the shadow window shows (for tests).
  const skinui::Bitmap& bitmap() const { return bitmap_; }

 private:
  enum Status : uint8_t { kEnabled = 1, kVisible = 2, kOwnerVisible = 4 };
  class ShadowWindow;
  void Update();
  void Show();
  void Hide();

  std::unique_ptr<ShadowWindow> window_;
  skinui::CNativeWindow* owner_ = nullptr;
  uint8_t status_ = 0;
  ShadowParams params_;
  uint32_t last_owner_size_ = 0;
  bool update_pending_ = false;
  skinui::Bitmap bitmap_;
};
