// The response's output bound: writes up to the bound pass, the write that
// would pass it raises 7 and writes nothing, output already taken out of the
// buffer still counts, and an unbounded response takes anything.
#include "host/response.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/error.h"

namespace tabrix {
namespace {

// The error number a write raises; 0 when it raises none.
long WriteError(Response& response, const std::string& text) {
  try {
    response.Write(text);
  } catch (const ScriptError& error) {
    EXPECT_EQ(error.description(),
              "the page's output passed " + std::to_string(response.max_bytes()) + " bytes");
    return error.number();
  }
  return 0;
}

TEST(ResponseBound, WritesStopAtTheBound) {
  struct Case {
    const char* id;
    std::size_t bound;
    std::vector<std::string> writes;
    long last_error;       // of the last write
    std::string buffered;  // after every write
  };
  const Case cases[] = {
      {"bound-1.1", 10, {"12345", "67890"}, 0, "1234567890"},  // exactly the bound
      {"bound-1.2", 10, {"12345", "678901"}, kErrOutOfMemory, "12345"},
      {"bound-1.3", 10, {"12345678901"}, kErrOutOfMemory, ""},
      {"bound-1.4", 10, {"1234567890", ""}, 0, "1234567890"},  // nothing more is nothing
      {"bound-1.5", 10, {"1234567890", "x"}, kErrOutOfMemory, "1234567890"},
      {"bound-2.1", 0, {std::string(1 << 20, 'a'), "b"}, 0, std::string(1 << 20, 'a') + "b"},
  };
  for (const Case& c : cases) {
    Response response;
    response.set_max_bytes(c.bound);
    long error = 0;
    for (const std::string& text : c.writes) error = WriteError(response, text);
    EXPECT_EQ(error, c.last_error) << c.id;
    EXPECT_EQ(response.buffer(), c.buffered) << c.id;
  }
}

TEST(ResponseBound, OutputTakenFromTheBufferStillCounts) {
  Response response;
  response.set_max_bytes(8);
  response.Write("menu");
  EXPECT_EQ(response.TakeBuffer(), "menu");
  EXPECT_EQ(WriteError(response, "page"), 0);
  EXPECT_EQ(WriteError(response, "!"), kErrOutOfMemory) << "menu and page are one output";
  EXPECT_EQ(WriteError(response, "more"), kErrOutOfMemory) << "a stopped page stays stopped";
  EXPECT_EQ(response.buffer(), "page");
}

TEST(ResponseBound, AfterARedirectWritesAreDroppedNotRefused) {
  Response response;
  response.set_max_bytes(4);
  response.Write("1234");
  response.Redirect("Info.asp");
  EXPECT_EQ(WriteError(response, "more than the bound"), 0);
  EXPECT_EQ(response.buffer(), "");
  EXPECT_EQ(*response.redirect(), "Info.asp");
}

}  // namespace
}  // namespace tabrix
