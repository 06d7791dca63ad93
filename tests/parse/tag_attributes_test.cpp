#include "extractor/parse/tag_attributes.h"

#include <gtest/gtest.h>

#include <string>

namespace brevanto {
namespace {

TEST(TagAttributes, ClassAndIdFromAnyBytes) {
  struct Case {
    std::string attributes;  // the bytes after the name
    const char* classes;
    const char* id;
  };
  const Case cases[] = {
      {R"( class="site-nav main" id="top")", "site-nav main", "top"},
      {" class='a b' id=x", "a b", "x"},
      {" CLASS=menu\tID=\"q\"", "menu", "q"},
      {"\nclass = \"spaced\" ", "spaced", ""},
      {" data-class=\"no\" idx=1 xid=2", "", ""},
      {" hidden class", "", ""},
      {" class=\"first\" class=\"second\" id=one id=two", "first", "one"},
      {" class=\"never closed id=x", "never closed id=x", ""},
      {" class='it''s' id=z", "it", "z"},
      {" =class=x id=y", "", "y"},
      {" / class=a/b id=c/", "a/b", "c/"},
      {"=\"\"\"''== id", "", ""},
      {"", "", ""},
      {" class=", "", ""},
      {" class=\"\" id=\"\"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    const TagAttributes found = readTagAttributes(c.attributes);
    EXPECT_EQ(found.classes, c.classes);
    EXPECT_EQ(found.id, c.id);
    // The values are views of the given bytes, never copies.
    for (const std::string_view value : {found.classes, found.id}) {
      if (value.empty()) continue;
      EXPECT_GE(value.data(), c.attributes.data());
      EXPECT_LE(value.data() + value.size(), c.attributes.data() + c.attributes.size());
    }
  }
}

}  // namespace
}  // namespace brevanto
