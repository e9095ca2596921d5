// The demo product: one program that plays three parts, chosen by how it is
// started.
//
//  - As the package ("VanteloPDFconverter_setup.exe" on the download server):
//    given "/S ... -instdir="DIR" /D=DIR" it installs the product into DIR:
//    a copy of itself as "pdfConverterInternal.exe" (the product program), a
//    copy as "uninst.ep" (the uninstaller) and, with "-dsc=true", a desktop
//    shortcut. It follows the installer's console protocol on its standard
//    output ("Progress=", "InstPath=", "ExePath=", "UninstEp=",
//    "StartupStyle=", "State=Success"; "Error=" and "State=Fail" when it
//    cannot write).
//  - As the uninstaller (a command line with "_?=DIR"): removes what the
//    package installed in DIR and reports "Progress=" and "State=".
//  - As the product (its file name is "pdfConverterInternal.exe"): leaves the
//    mark file "product-started.txt" in its folder, holding its arguments.
//
// Extra switches for demonstrations: "-startupstyle=NonStartup|AutoStartup|
// UserStartup" (default AutoStartup) and "-starturl=URL".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "utils/command_line.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kProgramName[] = L"pdfConverterInternal.exe";
constexpr wchar_t kUninstallerName[] = L"uninst.ep";
constexpr wchar_t kMarkName[] = L"product-started.txt";
constexpr wchar_t kShortcutBase[] = L"VanteloPDF转换器";
constexpr bool kWindowsPaths = Utils::kPathSeparator == L'\\';

// One protocol line, written at once and flushed: the installer reads the
// pipe while we run.
void Say(const std::wstring& line) {
  const std::string bytes = Utils::WideToUtf8(line) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(60)); }

std::wstring Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? Utils::Utf8ToWide(value) : std::wstring();
}

// Paths go through UTF-8, so names such as the shortcut's do not depend on
// the process locale.
fs::path WidePath(const std::wstring& text) {
  const std::string utf8 = Utils::WideToUtf8(text);
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring Text(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return Utils::Utf8ToWide(std::string(utf8.begin(), utf8.end()));
}

fs::path DesktopFolder() {
  if (kWindowsPaths) return WidePath(Env("USERPROFILE")) / WidePath(L"Desktop");
  const std::wstring xdg = Env("XDG_DESKTOP_DIR");
  if (!xdg.empty()) return WidePath(xdg);
  return WidePath(Env("HOME")) / WidePath(L"Desktop");
}

fs::path ShortcutPath() {
  return DesktopFolder() / WidePath(std::wstring(kShortcutBase) + (kWindowsPaths ? L".url" : L".desktop"));
}

// The argument after "=" of the first argument starting with |prefix|.
std::wstring Value(const std::vector<std::wstring>& args, const std::wstring& prefix) {
  for (const std::wstring& arg : args)
    if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
  return {};
}

bool Has(const std::vector<std::wstring>& args, const std::wstring& prefix) {
  for (const std::wstring& arg : args)
    if (arg.rfind(prefix, 0) == 0) return true;
  return false;
}

int Fail(const std::wstring& error) {
  Say(L"Error=" + error);
  Say(L"State=Fail");
  return 1;
}

bool CopySelf(const fs::path& self, const fs::path& target, std::error_code& error) {
  fs::copy_file(self, target, fs::copy_options::overwrite_existing, error);
  if (error) return false;
  fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec,
                  error);
  return !error;
}

bool WriteShortcut(const fs::path& program, std::error_code& error) {
  const fs::path shortcut = ShortcutPath();
  fs::create_directories(shortcut.parent_path(), error);
  if (error) return false;
  std::ofstream out(shortcut, std::ios::binary | std::ios::trunc);
  if (kWindowsPaths) {
    out << "[InternetShortcut]\r\nURL=file:///" << Utils::WideToUtf8(Text(program)) << "\r\n";
  } else {
    out << "[Desktop Entry]\nType=Application\nName=" << Utils::WideToUtf8(kShortcutBase)
        << "\nExec=\"" << Utils::WideToUtf8(Text(program)) << "\"\nTerminal=false\n";
  }
  out.close();
  if (!out) error = std::make_error_code(std::errc::io_error);
  return !error;
}

int RunPackage(const fs::path& self, const std::vector<std::wstring>& args) {
  // "-instdir=" comes quoted; "/D=" is the unquoted last argument, so a
  // folder with blanks arrives split over several arguments.
  std::wstring folder = Value(args, L"-instdir=");
  for (size_t i = 0; folder.empty() && i < args.size(); ++i) {
    if (args[i].rfind(L"/D=", 0) != 0) continue;
    folder = args[i].substr(3);
    for (size_t j = i + 1; j < args.size(); ++j) folder += L" " + args[j];
  }
  if (folder.empty()) return Fail(L"no install folder given (/D=)");
  Say(L"Encode=UTF8");
  Pause();  // the installer decodes the reads after this line as UTF-8
  Say(L"InstallVersion=1.7.9");
  Say(L"Progress=0.05");

  const fs::path dir = WidePath(folder);
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) return Fail(L"cannot create " + folder + L": " + Utils::Utf8ToWide(error.message()));
  Pause();
  Say(L"Progress=0.3");

  const fs::path program = dir / WidePath(kProgramName);
  if (!CopySelf(self, program, error))
    return Fail(L"cannot write " + Text(program) + L": " + Utils::Utf8ToWide(error.message()));
  Pause();
  Say(L"Progress=0.6");

  const fs::path uninstaller = dir / WidePath(kUninstallerName);
  if (!CopySelf(self, uninstaller, error))
    return Fail(L"cannot write " + Text(uninstaller) + L": " + Utils::Utf8ToWide(error.message()));
  Pause();
  Say(L"Progress=0.8");

  if (Value(args, L"-dsc=") == L"true" && !WriteShortcut(program, error))
    return Fail(L"cannot write the desktop shortcut: " + Utils::Utf8ToWide(error.message()));
  Pause();
  Say(L"Progress=1");

  std::wstring style = Value(args, L"-startupstyle=");
  if (style.empty()) style = L"AutoStartup";
  Say(L"InstPath=" + Text(dir));
  Say(L"ExePath=" + Text(program));
  Say(L"UninstEp=" + Text(uninstaller));
  Say(L"StartupStyle=" + style);
  if (Has(args, L"-starturl=")) Say(L"StartUrl=" + Value(args, L"-starturl="));
  Say(L"State=Success");
  return 0;
}

int RunUninstaller(const std::vector<std::wstring>& args) {
  const fs::path dir = WidePath(Value(args, L"_?="));
  Say(L"Progress=0.1");
  std::error_code error;
  for (const wchar_t* name : {kProgramName, kMarkName, kUninstallerName}) {
    const fs::path file = dir / WidePath(name);
    fs::remove(file, error);
    if (error) return Fail(L"cannot remove " + Text(file) + L": " + Utils::Utf8ToWide(error.message()));
    Pause();
  }
  fs::remove(dir / WidePath(L"set.ini"), error);
  fs::remove(ShortcutPath(), error);  // a missing shortcut is fine
  fs::remove(dir, error);             // only when nothing else is left in it
  Say(L"Progress=1");
  Say(L"State=Success");
  return 0;
}

int RunProduct(const fs::path& self, const std::vector<std::wstring>& args) {
  std::ofstream mark(self.parent_path() / WidePath(kMarkName), std::ios::binary | std::ios::app);
  mark << "started";
  for (size_t i = 1; i < args.size(); ++i) mark << ' ' << Utils::WideToUtf8(args[i]);
  mark << '\n';
  return mark ? 0 : 1;
}

}  // namespace

int main() {
  const std::vector<std::wstring> args = Utils::SplitCommandLine(Utils::ProcessCommandLine());
  const fs::path self = WidePath(Utils::ExecutablePath());
  if (Text(self.filename()) == kProgramName) return RunProduct(self, args);
  if (Has(args, L"_?=")) return RunUninstaller(args);
  return RunPackage(self, args);
}
