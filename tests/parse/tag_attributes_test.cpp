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

TEST(TagAttributes, StyleRoleAndHiddenFromAnyBytes) {
  struct Case {
    std::string attributes;
    const char* style;
    const char* role;
    bool hidden;
  };
  const Case cases[] = {
      {R"( style="display: none" class=x)", "display: none", "", false},
      {" STYLE='color:red' style=\"display:none\"", "color:red", "", false},
      {" hidden", "", "", true},
      {" HIDDEN=until-found id=x", "", "", true},
      {" data-hidden aria-hidden=true xstyle=a", "", "", false},
      {" class=\"hidden\"", "", "", false},
      {" ROLE=\"navigation menu\" role=main", "", "navigation menu", false},
      {" data-role=main aria-roledescription=x", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    const TagAttributes found = readTagAttributes(c.attributes);
    EXPECT_EQ(found.style, c.style);
    EXPECT_EQ(found.role, c.role);
    EXPECT_EQ(found.hidden, c.hidden);
  }
}

}  // namespace
}  // namespace brevanto
