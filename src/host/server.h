// Server: object creation, URL encoding and path mapping for one request.
//
// CreateObject knows "ADODB.Connection", "ADODB.Recordset",
// "Scripting.Dictionary" and "Scripting.FileSystemObject" in any letter
// case; another identifier raises 429. MapPath maps a site path under the
// site root and refuses (error 5) one that leaves it or holds a NUL byte. Recordsets made here
// report their SQL to the server's observer, so tools can list what a page
// ran.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/adodb/recordset.h"
#include "host/object.h"
#include "host/variant.h"

namespace tabrix {

class Server : public Object {
 public:
  explicit Server(std::filesystem::path site_root);
  std::string_view ClassName() const override { return "Server"; }

  virtual Variant CreateObject(std::string_view prog_id);
  std::string URLEncode(std::string_view text) const;
  std::string HTMLEncode(std::string_view text) const;
  // "/a/b.txt" and "a/b.txt" both map under the site root; "..", or any
  // path that resolves outside the root, raises 5; so does a path holding a
  // NUL byte, which the file system would cut short.
  std::string MapPath(std::string_view path) const;

  const std::filesystem::path& site_root() const { return site_root_; }
  void set_sql_observer(adodb::SqlObserver observer) { observer_ = std::move(observer); }
  const adodb::SqlObserver& sql_observer() const { return observer_; }

 private:
  std::filesystem::path site_root_;
  adodb::SqlObserver observer_;
};

}  // namespace tabrix
