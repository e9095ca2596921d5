#include "skin/markup_builder.h"

#include <pugixml.hpp>

#include <cwctype>
#include <map>
#include <memory>

#include "skinui/container.h"
#include "skinui/control_manager.h"
#include "skinui/controls.h"
#include "skinui/edit.h"
#include "skinui/image_description.h"
#include "utils/debug_log.h"
#include "utils/text.h"

namespace {

using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::wstring Wide(const char* utf8) { return Utils::Utf8ToWide(utf8 ? utf8 : ""); }

// The first kMaxAttributes attributes of |node|, in document order.
Attributes ReadAttributes(const pugi::xml_node& node) {
  Attributes out;
  for (pugi::xml_attribute a : node.attributes()) {
    if (static_cast<int>(out.size()) >= CMarkupBuilder::kMaxAttributes) break;
    out.emplace_back(Wide(a.name()), Wide(a.value()));
  }
  return out;
}

CControlUI* CreateBuiltIn(const std::wstring& lower) {
  if (lower == L"control") return new CControlUI;
  if (lower == L"container") return new CContainerUI;
  if (lower == L"verticallayout") return new CVerticalLayoutUI;
  if (lower == L"horizontallayout") return new CHorizontalLayoutUI;
  if (lower == L"tablayout") return new CTabLayoutUI;
  if (lower == L"label") return new CLabelUI;
  if (lower == L"button") return new CButtonUI;
  if (lower == L"option") return new COptionUI;
  if (lower == L"checkbox") return new CCheckBoxUI;
  if (lower == L"edit") return new CEditUI;
  if (lower == L"progress") return new CProgressUI;
  return nullptr;
}

// Default attribute lists ("Default" elements): name="value" pairs applied
// to every control of a class before its own attributes.
Attributes ParseAttributeList(const std::wstring& text) {
  Attributes out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::iswspace(text[i])) ++i;
    size_t eq = text.find(L'=', i);
    if (eq == std::wstring::npos || eq + 1 >= text.size()) break;
    std::wstring name = text.substr(i, eq - i);
    while (!name.empty() && std::iswspace(name.back())) name.pop_back();
    wchar_t quote = text[eq + 1];
    if (quote != L'"' && quote != L'\'') break;
    size_t close = text.find(quote, eq + 2);
    if (close == std::wstring::npos) break;
    out.emplace_back(name, text.substr(eq + 2, close - eq - 2));
    i = close + 1;
  }
  return out;
}

class Builder {
 public:
  Builder(CSkinManagerUI& manager, ISkinBuilderCallback* callback)
      : manager_(manager), callback_(callback) {}

  void ApplyWindow(const pugi::xml_node& window) {
    for (const auto& [name, value] : ReadAttributes(window)) {
      if (name == L"size") {
        manager_.SetInitSize(skinui::ParseMarkupSize(value));
      } else if (name == L"caption") {
        manager_.SetCaptionRect(skinui::ParseMarkupRect(value));
      } else if (name == L"roundcorner") {
        manager_.SetRoundCorner(skinui::ParseMarkupSize(value));
      } else if (name == L"sizebox") {
        manager_.SetSizeBox(skinui::ParseMarkupRect(value));
      } else if (name == L"mininfo" || name == L"maxinfo" || name == L"showdirty" ||
                 name == L"alpha" || name == L"bktrans") {
        // Known to the library, without effect in this program.
      } else {
        manager_.AddWindowCustomAttribute(name, value);
      }
    }
  }

  void ApplyFont(const pugi::xml_node& node) {
    int id = -1;
    bool has_id = false, is_default = false;
    skinui::FontSpec font;
    font.face.clear();
    for (const auto& [name, value] : ReadAttributes(node)) {
      if (name == L"id") {
        id = static_cast<int>(skinui::ParseMarkupInt(value.c_str()));
        has_id = true;
      } else if (name == L"name") {
        font.face = value.substr(0, 32);
      } else if (name == L"size") {
        font.size = static_cast<int>(skinui::ParseMarkupInt(value.c_str()));
      } else if (name == L"bold") {
        font.bold = skinui::ParseMarkupBool(value);
      } else if (name == L"underline") {
        font.underline = skinui::ParseMarkupBool(value);
      } else if (name == L"italic") {
        font.italic = skinui::ParseMarkupBool(value);
      } else if (name == L"default") {
        is_default = skinui::ParseMarkupBool(value);
      }
    }
    if (!has_id || id < 0 || font.face.empty()) return;
    manager_.AddFont(id, font, is_default);
  }

  void ApplyDefault(const pugi::xml_node& node) {
    std::wstring cls, value;
    for (const auto& [name, v] : ReadAttributes(node)) {
      if (name == L"name") cls = Lower(v);
      if (name == L"value") value = v;
    }
    if (!cls.empty()) defaults_[cls] = ParseAttributeList(value);
  }

  // Creates the control of |node| with its subtree; nullptr when skipped.
  CControlUI* BuildControl(const pugi::xml_node& node, int depth) {
    if (depth > CMarkupBuilder::kMaxDepth) return nullptr;
    const std::wstring element = Wide(node.name());
    const std::wstring lower = Lower(element);
    std::unique_ptr<CControlUI> control(CreateBuiltIn(lower));
    if (control == nullptr && callback_ != nullptr) {
      control.reset(callback_->CreateSkinControl(element));
    }
    if (control == nullptr) return nullptr;
    // Children first, so that attributes such as a tab's selection find them.
    if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"))) {
      for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (CControlUI* c = BuildControl(child, depth + 1)) container->Add(c);
      }
    }
    auto defaults = defaults_.find(Lower(control->GetClass()));
    if (defaults != defaults_.end()) {
      for (const auto& [name, value] : defaults->second) control->SetAttribute(name, value);
    }
    for (const auto& [name, value] : ReadAttributes(node)) control->SetAttribute(name, value);
    return control.release();
  }

  CControlUI* BuildWindow(const pugi::xml_node& root) {
    const bool is_window = Lower(Wide(root.name())) == L"window";
    if (!is_window) return BuildControl(root, 0);
    ApplyWindow(root);
    CControlUI* result = nullptr;
    for (pugi::xml_node child : root.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::wstring lower = Lower(Wide(child.name()));
      if (lower == L"font") {
        ApplyFont(child);
      } else if (lower == L"default") {
        ApplyDefault(child);
      } else if (lower == L"image" || lower == L"multilanguage" || lower == L"include") {
        // Accepted; the program's skins do not use them.
      } else if (result == nullptr) {
        result = BuildControl(child, 1);
      }
    }
    return result;
  }

 private:
  CSkinManagerUI& manager_;
  ISkinBuilderCallback* callback_;
  std::map<std::wstring, Attributes> defaults_;
};

}  // namespace

CControlUI* CMarkupBuilder::Build(const std::vector<uint8_t>& xml, CSkinManagerUI& manager,
                                  ISkinBuilderCallback* callback, std::wstring* error) {
  size_t skip = 0;
  if (xml.size() >= 3 && xml[0] == 0xEF && xml[1] == 0xBB && xml[2] == 0xBF) skip = 3;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xml.data() + skip, xml.size() - skip,
                                                  pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    if (error != nullptr) *error = L"XML parse error: " + Wide(parsed.description());
    DEBUG_LOG(L"CMarkupBuilder::Build: %s", Wide(parsed.description()));
    return nullptr;
  }
  pugi::xml_node root = doc.document_element();
  if (!root) {
    if (error != nullptr) *error = L"No root element";
    return nullptr;
  }
  Builder builder(manager, callback);
  CControlUI* control = builder.BuildWindow(root);
  if (control == nullptr && error != nullptr) *error = L"No control in the skin";
  return control;
}
