#include "skin/skin_shadow.h"

#include <cmath>

#include "utils/debug_log.h"

using namespace skinui;

namespace {

// premul(colour, a): the colour's lowest byte is red.
uint32_t ShadowPixel(uint32_t color, uint32_t alpha) {
  const uint32_t r = (color & 0xFF) * alpha / 255;
  const uint32_t g = ((color >> 8) & 0xFF) * alpha / 255;
  const uint32_t b = ((color >> 16) & 0xFF) * alpha / 255;
  return (alpha << 24) | (r << 16) | (g << 8) | b;
}

struct Span {
  int start;
  int end;
};

}  // namespace

Bitmap MakeShadowBitmap(const std::vector<RowSpan>& region, int w, int h, const ShadowParams& p) {
  const int size = p.size, sharpness = p.sharpness;
  const int W = w + 2 * size, H = h + 2 * size;
  Bitmap out(std::max(0, W), std::max(0, H), 0);
  if (region.empty() || w <= 0 || h <= 0 || W <= 0 || H <= 0) return out;

  // Window spans, then the shadow spans with an empty entry at either end.
  std::vector<Span> window(h, Span{w, 0});
  for (int y = 0; y < h && y < static_cast<int>(region.size()); ++y) {
    const RowSpan& s = region[y];
    if (s.end > s.start) window[y] = Span{std::max(0, s.start), std::min(w, s.end)};
  }
  const int count = std::max(h, H);
  std::vector<Span> spans(count + 2, Span{w, 0});
  for (int y = 0; y < h; ++y) {
    const int index = y + 1 + std::max(0, size);
    if (index < 1 || index > count) continue;
    spans[index] = window[y].end > window[y].start
                       ? Span{window[y].start + size, window[y].end + size}
                       : Span{w, 0};
  }

  // Erosion: shrink every span by the neighbourhood of three rows.
  std::vector<Span> next(spans.size(), Span{w, 0});
  for (int pass = 0; pass < sharpness - size; ++pass) {
    for (int j = 1; j <= count; ++j) {
      next[j].start = std::max({spans[j - 1].start, spans[j].start, spans[j + 1].start}) + 1;
      next[j].end = std::min({spans[j - 1].end, spans[j].end, spans[j + 1].end}) - 1;
    }
    std::swap(spans, next);
  }

  // The round kernel.
  const int K = std::max(sharpness, size);
  const int C = size > sharpness ? size - sharpness : 0;
  const int side = 2 * K + 1;
  const uint32_t centre = ShadowPixel(p.color, p.darkness);
  std::vector<uint32_t> kernel(static_cast<size_t>(side) * side, 0);
  for (int dy = -K; dy <= K; ++dy) {
    for (int dx = -K; dx <= K; ++dx) {
      const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      uint32_t v = 0;
      if (d < C) {
        v = centre;
      } else if (d <= K) {
        const uint32_t f =
            static_cast<uint32_t>((1.0 - (d - C) / (sharpness + 1)) * p.darkness);
        v = ShadowPixel(p.color, f);
      }
      kernel[static_cast<size_t>(dy + K) * side + (dx + K)] = v;
    }
  }

  // Dilation along the edges of each row. Stamps are clipped to the bitmap
  // so that unusual parameters can never write outside it.
  auto stamp = [&](int cx, int cy) {
    for (int dy = -K; dy <= K; ++dy) {
      const int y = cy + dy;
      if (y < 0 || y >= H) continue;
      uint32_t* row = out.row(y);
      const uint32_t* krow = &kernel[static_cast<size_t>(dy + K) * side];
      for (int dx = -K; dx <= K; ++dx) {
        const int x = cx + dx;
        if (x < 0 || x >= W) continue;
        if (row[x] < krow[dx + K]) row[x] = krow[dx + K];
      }
    }
  };
  for (int i = K; i < H - K && i + 1 < static_cast<int>(spans.size()); ++i) {
    const Span s = spans[i];
    if (s.start >= s.end) continue;
    int j = s.start;
    const int first_end = std::min(std::max(spans[i - 1].start, spans[i + 1].start) + 1, s.end);
    for (; j < first_end; ++j) stamp(j, i);
    for (j = std::max(j, std::min(spans[i - 1].end, spans[i + 1].end) - 1); j < s.end; ++j) {
      stamp(j, i);
    }
  }

  // Fill the middle and cut out what the window covers.
  const int x_shift = size - p.x_offset;
  const int from = std::min(K, std::max(size - p.y_offset, 0));
  const int to = std::max(H - K, std::min(h + size - p.y_offset, h + 2 * size));
  for (int i = from; i < to && i < H && i < static_cast<int>(spans.size()); ++i) {
    uint32_t* line = out.row(i);
    const Span s{std::max(0, spans[i].start), std::min(W, spans[i].end)};
    const int r = i - size + p.y_offset;
    if (r < 0 || r >= h) {
      for (int j = s.start; j < s.end; ++j) line[j] = centre;
      continue;
    }
    const Span o = window[r];
    for (int j = s.start; j < std::min(o.start + x_shift, s.end); ++j) line[j] = centre;
    for (int j = std::max(o.start + x_shift, 0); j < std::min(o.end + x_shift, W); ++j) line[j] = 0;
    for (int j = std::max(o.end + x_shift, s.start); j < s.end; ++j) line[j] = centre;
  }
  return out;
}

// ---- the shadow window ----------------------------------------------------

namespace {
bool g_initialized = false;
bool g_available = false;
}  // namespace

class CSkinShadow::ShadowWindow : public CNativeWindow {
 public:
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == kWmPaint) {
      if (frame != nullptr) Present(*frame);
      return 0;
    }
    return DefWindowProc(message, wParam, lParam);
  }
  const Bitmap* frame = nullptr;
};

bool CSkinShadow::Initialize(bool require_translucency) {
  if (g_initialized) return false;
  g_initialized = true;
  // Without translucent windows the shadow would show as a dark frame.
  g_available = WindowSystemAvailable() && (!require_translucency || TranslucentWindowsAvailable());
  return g_available;
}

bool CSkinShadow::IsAvailable() { return g_available; }

CSkinShadow::CSkinShadow() = default;

CSkinShadow::~CSkinShadow() {
  if (window_ != nullptr && window_->GetHWND() != kNoWindow) window_->DestroyWindow();
}

WindowHandle CSkinShadow::window() const {
  return window_ != nullptr ? window_->GetHWND() : kNoWindow;
}

void CSkinShadow::Create(CNativeWindow* owner) {
  if (!g_available || owner == nullptr || window_ != nullptr) return;
  owner_ = owner;
  window_ = std::make_unique<ShadowWindow>();
  window_->frame = &bitmap_;
  if (!window_->Create(owner->GetHWND(), L"SkinShadowWnd", L"", kWsPopup, 0, -1, -1, 1, 1,
                       WindowKind::kShadow)) {
    window_.reset();
    return;
  }
  const uint32_t style = owner->GetStyle();
  if (!(style & kWsVisible)) {
    status_ = kEnabled;
  } else if (style & (kWsMaximize | kWsMinimize)) {
    status_ = kEnabled | kOwnerVisible;
  } else {
    status_ = kEnabled | kVisible | kOwnerVisible;
    Show();
    Update();
  }
}

void CSkinShadow::Show() {
  if (window_ == nullptr) return;
  window_->ShowWindow(true, false);
  if (owner_ != nullptr) window_->PlaceBelow(owner_->GetHWND());
}

void CSkinShadow::Hide() {
  if (window_ != nullptr) window_->ShowWindow(false, false);
}

void CSkinShadow::Update() {
  if (window_ == nullptr || owner_ == nullptr) return;
  const Rect r = owner_->GetWindowRect();
  bitmap_ = MakeShadowBitmap(owner_->GetRegion(), r.width(), r.height(), params_);
  if (bitmap_.empty()) return;
  window_->SetWindowPos(r.left + params_.x_offset - params_.size,
                        r.top + params_.y_offset - params_.size, bitmap_.width(),
                        bitmap_.height());
  window_->Present(bitmap_);
  window_->Invalidate();
}

bool CSkinShadow::SetSize(int size) {
  if (size < -20 || size > 20) return false;
  params_.size = static_cast<int8_t>(size);
  if (IsVisible()) Update();
  return true;
}

bool CSkinShadow::SetSharpness(int sharpness) {
  if (sharpness < 0 || sharpness > 20) return false;
  params_.sharpness = static_cast<uint8_t>(sharpness);
  if (IsVisible()) Update();
  return true;
}

bool CSkinShadow::SetDarkness(int darkness) {
  if (darkness < 0 || darkness > 255) return false;
  params_.darkness = static_cast<uint8_t>(darkness);
  if (IsVisible()) Update();
  return true;
}

bool CSkinShadow::SetPosition(int x, int y) {
  if (x < -20 || x > 20 || y < -20 || y > 20) return false;
  params_.x_offset = static_cast<int8_t>(x);
  params_.y_offset = static_cast<int8_t>(y);
  if (IsVisible()) Update();
  return true;
}

bool CSkinShadow::SetColor(uint32_t color) {
  params_.color = color;
  if (IsVisible()) Update();
  return true;
}

void CSkinShadow::OnOwnerMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window_ == nullptr || owner_ == nullptr) return;
  switch (message) {
    case kWmMove:
      if (status_ & kVisible) {
        const Rect r = owner_->GetWindowRect();
        window_->MoveTo(r.left + params_.x_offset - params_.size,
                        r.top + params_.y_offset - params_.size);
      }
      break;
    case kWmSize:
      if (!(status_ & kEnabled)) break;
      if (wParam == kSizeMaximized || wParam == kSizeMinimized) {
        Hide();
        status_ &= ~kVisible;
      } else if (status_ & kOwnerVisible) {
        const uint32_t size = static_cast<uint32_t>(lParam) & 0xFFFFFFFF;
        const uint32_t w = size & 0xFFFF, h = size >> 16;
        // Shrinking: recompute now; growing: at the next paint.
        if (w <= (last_owner_size_ & 0xFFFF) && h <= (last_owner_size_ >> 16)) {
          Update();
        } else {
          update_pending_ = true;
        }
        if (!(status_ & kVisible)) {
          Show();
          status_ |= kVisible;
        }
      }
      last_owner_size_ = static_cast<uint32_t>(lParam);
      break;
    case kWmActivate:
    case kWmExitSizeMove:
      if (status_ & kVisible) Update();
      break;
    case kWmPaint:
      if (update_pending_) {
        Update();
        update_pending_ = false;
      }
      break;
    case kWmShowWindow:
      if (!(status_ & kEnabled)) break;
      if (wParam == 0) {
        Hide();
        status_ &= ~(kVisible | kOwnerVisible);
      } else if (!(status_ & kOwnerVisible)) {
        update_pending_ = true;
        Show();
        status_ |= kVisible | kOwnerVisible;
      }
      break;
    case kWmDestroy:
      if (window_->GetHWND() != kNoWindow) window_->DestroyWindow();
      break;
    default:
      break;
  }
}
