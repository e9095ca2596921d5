// Builds a window's control tree from a skin file: the Window element's
// attributes and fonts go to the control manager, the first control element
// under it becomes the root control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CControlUI;
class CSkinManagerUI;
class ISkinBuilderCallback;

class CMarkupBuilder {
 public:
  // At most this many attributes of one element are read.
  static constexpr int kMaxAttributes = 64;
  // Elements nested deeper than this are skipped with their subtree.
  static constexpr int kMaxDepth = 256;

  // Parses |xml| (UTF-8, a byte-order mark is skipped) and builds the tree.
  // Returns the root control, owned by the caller until it is attached to
  // the manager; nullptr with |error| set when the text is not XML or has
  // no control. Element names are compared ignoring case; an unknown element
  // goes to |callback| (may be null) and is skipped with its subtree when
  // nothing is created for it. Unknown attributes are ignored.
  static CControlUI* Build(const std::vector<uint8_t>& xml, CSkinManagerUI& manager,
                           ISkinBuilderCallback* callback, std::wstring* error = nullptr);
};
