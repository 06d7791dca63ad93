// The attributes that name an element for the page's own styles and
// scripts, its class and id; the role it declares to assistive technology;
// and those that hide it: hidden and an inline style.
#pragma once

#include <string_view>

namespace brevanto {

// Views of one tag's bytes (not owned: they live as long as the markup);
// empty when the tag lacks the attribute.
struct TagAttributes {
  std::string_view classes;
  std::string_view id;
  std::string_view style;
  std::string_view role;
  bool hidden = false;  // the tag has a hidden attribute, with any value
};

// Reads `attributes`, the bytes of a tag after its name and before its ">".
// Any bytes are read, in one pass: values in double or single quotes or
// none, names without values, stray quotes and "=". A quote that is never
// closed runs to the end of the tag. When an attribute is repeated, its
// first value counts.
TagAttributes readTagAttributes(std::string_view attributes);

}  // namespace brevanto
