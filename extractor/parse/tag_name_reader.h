// The element name and the open/close flags of one tag, read from its bytes.
#pragma once

#include <string_view>

namespace brevanto {

class TagNameReader {
 public:
  // `lt` points at the "<", `gt` at the ">" that ends the tag. Returns true
  // and sets the fields, or false when the tag has no name.
  bool read(const char* lt, const char* gt);

  std::string_view name;  // not owned: bytes between lt and gt
  bool isOpen = false;
  bool isClose = false;
  // Whether tab, CR, LF and form feed end a name as the blank does. The
  // classic reader keeps them in the name, so that such a tag names no
  // element.
  bool anySpaceEndsName = false;
};

}  // namespace brevanto
