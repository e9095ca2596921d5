// skin_viewer: opens any skin of the package as a real window, for designers
// checking a skin, or renders it headless to a PNG.
//
//   skin_viewer [options] SKIN.xml
//     --package FILE.7z   read skins from this archive instead of the one
//                         linked into the program
//     --folder DIR        pack DIR (its *.xml and res/) with 7zz first and
//                         read from that: a skin being edited, no rebuild
//     --render OUT.png    render headless to OUT.png and exit
//     --tab NAME=INDEX    select page INDEX of the TabLayout NAME first
//                         (repeatable; e.g. --tab mainTabLt=2)
//     --text NAME=TEXT    set the text of control NAME first (repeatable)
//     --list              print every named control with class and place
//
// In window mode every notification is printed as one line on standard
// output ("notify click okBtn 0 0") and the exit code is the close code.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "skin/markup_builder.h"
#include "skin/sequence_controls.h"
#include "skin/skin_archive.h"
#include "skin/skin_frame.h"
#include "skinui/container.h"
#include "skinui/control_manager.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {

struct Options {
  std::wstring skin;
  std::string package;
  std::string folder;
  std::string render;
  std::vector<std::pair<std::wstring, int>> tabs;
  std::vector<std::pair<std::wstring, std::wstring>> texts;
  bool list = false;
};

CControlUI* CreateSequenceControl(const std::wstring& name) {
  if (Utils::EqualsIgnoreCase(name, L"SequenceLabel")) return new CSequenceLabelUI;
  if (Utils::EqualsIgnoreCase(name, L"SequenceButton")) return new CSequenceButtonUI;
  return nullptr;
}

struct SequenceFactory : ISkinBuilderCallback {
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    return CreateSequenceControl(name);
  }
};

void ApplyOptions(CSkinManagerUI& manager, const Options& options) {
  for (const auto& [name, index] : options.tabs) {
    if (CControlUI* c = manager.FindControl(name)) {
      if (auto* tab = static_cast<CTabLayoutUI*>(c->GetInterface(L"TabLayout"))) {
        tab->SelectItem(index, false);
      }
    }
  }
  for (const auto& [name, text] : options.texts) {
    if (CControlUI* c = manager.FindControl(name)) c->SetText(text);
  }
}

void ListControls(CSkinManagerUI& manager) {
  if (manager.GetRoot() == nullptr) return;
  manager.GetRoot()->ForEach([](CControlUI* c) {
    if (c->GetName().empty()) return;
    const skinui::Rect& r = c->GetPos();
    std::printf("%s %s %d,%d,%d,%d %s\n", Utils::WideToUtf8(c->GetName()).c_str(),
                Utils::WideToUtf8(c->GetClass()).c_str(), r.left, r.top, r.right, r.bottom,
                c->IsVisible() ? "visible" : "hidden");
  });
}

int RenderHeadless(const Options& options) {
  CSkinManagerUI manager;
  manager.SetFileReader(SkinPackage::ReadSkinFile);
  std::vector<uint8_t> xml;
  std::wstring error;
  if (!SkinPackage::LoadSkinFile(options.skin, xml, error)) {
    std::fprintf(stderr, "skin_viewer: %s\n", Utils::WideToUtf8(error).c_str());
    return 1;
  }
  SequenceFactory factory;
  CControlUI* root = CMarkupBuilder::Build(xml, manager, &factory, &error);
  if (root == nullptr) {
    std::fprintf(stderr, "skin_viewer: %s\n", Utils::WideToUtf8(error).c_str());
    return 1;
  }
  manager.AttachDialog(root);
  ApplyOptions(manager, options);
  manager.SetClientSize(manager.GetInitSize());
  skinui::Bitmap frame;
  manager.Paint(frame);
  if (options.list) ListControls(manager);
  if (!skinui::WritePngFile(frame, options.render)) {
    std::fprintf(stderr, "skin_viewer: cannot write %s\n", options.render.c_str());
    return 1;
  }
  return 0;
}

class ViewerWindow : public CSkinFrame {
 public:
  ViewerWindow(const SkinWindowInfo& info, const Options& options)
      : CSkinFrame(info), options_(options) {}
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    return CreateSequenceControl(name);
  }
  void OnSkinLoaded() override {
    CSkinFrame::OnSkinLoaded();
    ApplyOptions(manager_, options_);
  }
  void OnNotify(SkinNotify& msg) override {
    std::printf("notify %s %s %lu %ld\n", Utils::WideToUtf8(msg.type).c_str(),
                msg.sender ? Utils::WideToUtf8(msg.sender->GetName()).c_str() : "",
                static_cast<unsigned long>(msg.wParam), static_cast<long>(msg.lParam));
    std::fflush(stdout);
    CSkinFrame::OnNotify(msg);
  }

 private:
  const Options& options_;
};

int ShowWindow(const Options& options) {
  if (!skinui::WindowSystemAvailable()) {
    std::fprintf(stderr, "skin_viewer: no display\n");
    return 1;
  }
  CSkinShadow::Initialize();
  SkinWindowInfo info;
  info.skin_file = options.skin;
  info.class_name = options.skin.substr(0, options.skin.rfind(L'.'));
  ViewerWindow window(info, options);
  if (!window.Create(skinui::kNoWindow, L"skin_viewer", skinui::kWsVisible | skinui::kWsOverlappedWindow, 0)) {
    std::fprintf(stderr, "skin_viewer: cannot create the window\n");
    return 1;
  }
  window.CenterWindow();
  if (options.list) ListControls(window.manager());
  std::fflush(stdout);
  return static_cast<int>(window.ShowModal());
}

bool SplitPair(const char* arg, std::wstring& name, std::wstring& value) {
  std::wstring text = Utils::Utf8ToWide(arg);
  size_t eq = text.find(L'=');
  if (eq == std::wstring::npos) return false;
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::wstring name, value;
    if (arg == "--package" && i + 1 < argc) {
      options.package = argv[++i];
    } else if (arg == "--folder" && i + 1 < argc) {
      options.folder = argv[++i];
    } else if (arg == "--render" && i + 1 < argc) {
      options.render = argv[++i];
    } else if (arg == "--tab" && i + 1 < argc && SplitPair(argv[++i], name, value)) {
      options.tabs.emplace_back(name, static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
    } else if (arg == "--text" && i + 1 < argc && SplitPair(argv[++i], name, value)) {
      options.texts.emplace_back(name, value);
    } else if (arg == "--list") {
      options.list = true;
    } else if (!arg.empty() && arg[0] != '-' && options.skin.empty()) {
      options.skin = Utils::Utf8ToWide(arg);
    } else {
      std::fprintf(stderr, "skin_viewer: unexpected argument %s\n", arg.c_str());
      return 2;
    }
  }
  if (options.skin.empty()) {
    std::fprintf(stderr,
                 "usage: skin_viewer [--package FILE.7z | --folder DIR] [--render OUT.png]\n"
                 "                   [--tab NAME=INDEX]...\n"
                 "                   [--text NAME=TEXT]... [--list] SKIN.xml\n");
    return 2;
  }
  static std::vector<uint8_t> package;
  if (!options.folder.empty()) {
    // The same packing as the build's, into a temporary archive.
    options.package = (std::filesystem::temp_directory_path() /
                       ("skin_viewer_" + std::to_string(std::time(nullptr)) + ".7z")).string();
    const std::string command = "cd \"" + options.folder +
                                "\" && 7zz a -t7z -m0=lzma2:d=768k -ms=on -bso0 -bsp0 \"" +
                                options.package + "\" *.xml res";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "skin_viewer: cannot pack %s with 7zz\n", options.folder.c_str());
      return 1;
    }
  }
  if (!options.package.empty()) {
    std::ifstream in(options.package, std::ios::binary);
    package.assign(std::istreambuf_iterator<char>(in), {});
    if (!options.folder.empty()) std::remove(options.package.c_str());
    if (!SkinPackage::OpenFromMemory(package.data(), package.size())) {
      std::fprintf(stderr, "skin_viewer: %s is not a skin package\n", options.package.c_str());
      return 1;
    }
  } else if (!SkinPackage::Open()) {
    std::fprintf(stderr, "skin_viewer: no skin package in the program\n");
    return 1;
  }
  return options.render.empty() ? ShowWindow(options) : RenderHeadless(options);
}
