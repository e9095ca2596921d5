// Times the skin framework's hot paths: opening the skin package, building
// the main window's skin, a full repaint of the 600x400 main window, and (with
// a display) the time from start to the first frame of the main window on
// screen. Prints one "name value-in-ms" line per figure (medians);
// skin_bench.sh puts them beside peer tools.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "skin/markup_builder.h"
#include "skin/sequence_controls.h"
#include "skin/skin_archive.h"
#include "skin/skin_frame.h"
#include "skin/skin_resource.h"
#include "skinui/control_manager.h"
#include "utils/text.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kStart = Clock::now();

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
double Median(int runs, F&& body) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    body();
    times.push_back(Ms(Clock::now() - t0));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct Factory : ISkinBuilderCallback {
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    return Utils::EqualsIgnoreCase(name, L"SequenceLabel") ? new CSequenceLabelUI : nullptr;
  }
};

class MainWindow : public CSkinFrame {
 public:
  MainWindow() : CSkinFrame(SkinWindowInfo{4, 147, L"", L"MainWnd.xml", L"MainWnd"}) {}
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    return Factory().CreateSkinControl(name);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The first window comes first, as in the installer: nothing warmed up.
  if (argc > 1 && std::string(argv[1]) == "--first-window") {
    if (!skinui::WindowSystemAvailable()) return 1;
    CSkinShadow::Initialize();
    MainWindow window;
    window.Create(skinui::kNoWindow, L"bench", skinui::kWsVisible | skinui::kWsOverlappedWindow, 0);
    window.CenterWindow();
    skinui::Message msg;
    while (window.framebuffer().empty() && skinui::GetMessage(msg)) skinui::DispatchMessage(msg);
    std::printf("first_window_ms %.2f\n", Ms(Clock::now() - kStart));
    return 0;
  }

  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindSkinResource(kSkinResourceId, kSkinResourceType, &data, &size)) {
    std::fprintf(stderr, "skin_bench: no skin package linked in\n");
    return 1;
  }
  std::printf("open_archive_ms %.3f\n", Median(9, [&] { SkinPackage::OpenFromMemory(data, size); }));

  std::vector<uint8_t> xml;
  std::wstring error;
  SkinPackage::LoadSkinFile(L"MainWnd.xml", xml, error);
  Factory factory;
  std::printf("build_main_skin_ms %.3f\n", Median(21, [&] {
                CSkinManagerUI manager;
                manager.SetFileReader(SkinPackage::ReadSkinFile);
                std::vector<uint8_t> bytes;
                SkinPackage::LoadSkinFile(L"MainWnd.xml", bytes, error);
                manager.AttachDialog(CMarkupBuilder::Build(bytes, manager, &factory));
              }));

  CSkinManagerUI manager;
  manager.SetFileReader(SkinPackage::ReadSkinFile);
  manager.AttachDialog(CMarkupBuilder::Build(xml, manager, &factory));
  manager.SetClientSize(manager.GetInitSize());
  skinui::Bitmap frame;
  manager.Paint(frame);  // images decoded and glyphs cached once, as after the first paint
  std::printf("repaint_600x400_ms %.3f\n", Median(51, [&] { manager.Paint(frame); }));
  return 0;
}
