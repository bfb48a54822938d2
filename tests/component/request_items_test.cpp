// Request items as the component reads them: a value holding a NUL byte is
// refused where it is read, before any SQL text or file path is built from
// it (both would end at that byte).
#include <gtest/gtest.h>

#include <string>

#include "pages/list_page_fixture.h"
#include "support/component_harness.h"
#include "support/error_number.h"

namespace tabrix {
namespace {

using tabrix::testing::ErrorNumberOf;

TEST(RequestItems, AValueHoldingANulByteRaisesInvalidArgumentNamingTheItem) {
  struct Case {
    const char* id;
    const char* query;
    const char* form;
  } cases[] = {
      {"query, inside", "q=a%00b&other=fine", ""},
      {"query, alone", "q=%00&other=fine", ""},
      {"form", "other=fine", "q=x%00"},
      {"repeated: only the second holds it", "q=a&q=%00&other=fine", ""},
  };
  for (const Case& c : cases) {
    testing::ComponentHarness h;
    h.request().SetQueryString(c.query);
    h.request().SetFormBody(c.form);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { h.object().Param("q"); }, &description), kErrInvalidArgument)
        << c.id;
    EXPECT_EQ(description,
              "Invalid procedure call or argument: the request item \"q\" holds a NUL byte")
        << c.id;
    // Only the item that holds one is refused.
    EXPECT_TRUE(h.object().Param("other").Identical(Variant("fine"))) << c.id;
  }
}

TEST(RequestItems, ASearchValueHoldingANulByteBuildsNoSql) {
  testing::ListPage page(
      "create table Orders (Id integer primary key, City text);"
      "insert into Orders values (1, 'Berlin');");
  EXPECT_EQ(page.ErrorOf("go=1&hf=1&City=Ber%00lin"), kErrInvalidArgument);
  EXPECT_TRUE(page.ListQueries().empty());
  for (const std::string& sql : page.h().sql())
    EXPECT_EQ(sql.find("Ber"), std::string::npos) << sql;
}

}  // namespace
}  // namespace tabrix
