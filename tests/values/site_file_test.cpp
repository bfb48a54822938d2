// GetFile: the text of a file under the site root, or Empty for anything
// that cannot be read; the one error is a path holding a NUL byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/component_harness.h"
#include "support/error_number.h"

namespace tabrix {
namespace {

namespace fs = std::filesystem;

// A site root with a few files, and one file beside it (outside the site).
class SiteFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("tabrix_site_file_" + std::to_string(std::random_device{}()));
    root_ = base_ / "site";
    fs::create_directories(root_ / "texts");
    Put(root_ / "texts" / "welcome.txt", "Grüße\r\nsecond line\r\n");
    Put(root_ / "texts" / "legacy.txt", "caf\xE9 \x80");  // Windows-1252
    Put(root_ / "texts" / "bom.txt", "\xEF\xBB\xBFwith mark");
    Put(root_ / "texts" / "empty.txt", "");
    Put(base_ / "secret.txt", "outside the site");
  }
  void TearDown() override { fs::remove_all(base_); }

  static void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path base_;
  fs::path root_;
};

TEST_F(SiteFiles, ReadsTheWholeTextOfAFileOfTheSite) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/texts/welcome.txt", "Grüße\r\nsecond line\r\n"},
      {"texts/welcome.txt", "Grüße\r\nsecond line\r\n"},
      {"\\texts\\welcome.txt", "Grüße\r\nsecond line\r\n"},
      {"texts/legacy.txt", "café €"},  // not UTF-8: read as Windows-1252
      {"texts/bom.txt", "with mark"},
      {"texts/../texts/welcome.txt", "Grüße\r\nsecond line\r\n"},
  };
  testing::ComponentHarness h(root_);
  for (const auto& c : cases) {
    Variant text = h.object().GetFile(Variant(c.path));
    ASSERT_TRUE(text.IsString()) << c.path;
    EXPECT_EQ(text.string(), c.expected) << c.path;
  }
}

TEST_F(SiteFiles, GivesEmptyForWhatCannotBeRead) {
  const Variant cases[] = {
      "texts/missing.txt",
      "texts/empty.txt",     // an empty file reads as nothing
      "texts",               // a folder
      "../secret.txt",       // outside the site root
      "texts/../../secret.txt",
      Variant::Null(),
      Variant(),
  };
  testing::ComponentHarness h(root_);
  for (const auto& path : cases) {
    Variant text = h.object().GetFile(path);
    EXPECT_TRUE(text.IsEmpty()) << (path.IsString() ? path.string() : "(not text)") << " gave "
                                << text.TypeName();
  }
  EXPECT_TRUE(fs::exists(root_ / "texts" / "empty.txt"));
  EXPECT_FALSE(fs::exists(root_ / "texts" / "missing.txt"));  // nothing is created
}

TEST_F(SiteFiles, APathHoldingANulByteRaisesInvalidArgument) {
  using namespace std::string_literals;
  const std::string cases[] = {
      "texts/welcome.txt\0.png"s,  // the file system would read welcome.txt
      "texts/welcome.txt\0/../../secret.txt"s,
      "\0"s,
  };
  testing::ComponentHarness h(root_);
  for (const std::string& path : cases) {
    std::string description;
    EXPECT_EQ(testing::ErrorNumberOf([&] { h.object().GetFile(Variant(path)); }, &description),
              kErrInvalidArgument);
    EXPECT_EQ(description, "Invalid procedure call or argument: the path holds a NUL byte");
    EXPECT_EQ(testing::ErrorNumberOf([&] { h.server().MapPath(path); }), kErrInvalidArgument);
  }
}

TEST_F(SiteFiles, GivesEmptyWithoutAServer) {
  Tabrix1 unassigned;
  EXPECT_TRUE(unassigned.GetFile(Variant("texts/welcome.txt")).IsEmpty());
}

TEST_F(SiteFiles, DoesNotFollowALinkOutOfTheSite) {
  std::error_code ec;
  fs::create_symlink(base_ / "secret.txt", root_ / "texts" / "link.txt", ec);
  if (ec) GTEST_SKIP() << "symbolic links are not available here";
  testing::ComponentHarness h(root_);
  EXPECT_TRUE(h.object().GetFile(Variant("texts/link.txt")).IsEmpty());
}

}  // namespace
}  // namespace tabrix
