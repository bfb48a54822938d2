#include "host/server.h"

#include "host/adodb/connection.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/scripting/file_system.h"
#include "host/url.h"

namespace tabrix {

namespace fs = std::filesystem;

Server::Server(fs::path site_root) : site_root_(fs::absolute(std::move(site_root)).lexically_normal()) {}

Variant Server::CreateObject(std::string_view prog_id) {
  if (EqualsIgnoreCase(prog_id, "ADODB.Recordset")) return Variant(adodb::NewRecordset(observer_));
  if (EqualsIgnoreCase(prog_id, "ADODB.Connection")) return Variant(adodb::NewConnection());
  if (EqualsIgnoreCase(prog_id, "Scripting.Dictionary"))
    return Variant(std::make_shared<scripting::Dictionary>());
  if (EqualsIgnoreCase(prog_id, "Scripting.FileSystemObject"))
    return Variant(std::make_shared<scripting::FileSystemObject>());
  throw ScriptError(429, "ActiveX component can't create object: " + std::string(prog_id));
}

std::string Server::URLEncode(std::string_view text) const { return UrlEncode(text); }

std::string Server::HTMLEncode(std::string_view text) const { return HtmlEscape(text); }

std::string Server::MapPath(std::string_view path) const {
  if (path.find('\0') != std::string_view::npos)
    RaiseError(kErrInvalidArgument, "the path holds a NUL byte");
  std::string_view rel = path;
  while (!rel.empty() && (rel.front() == '/' || rel.front() == '\\')) rel.remove_prefix(1);
  std::string cleaned(rel);
  for (char& c : cleaned)
    if (c == '\\') c = '/';
  fs::path joined = (site_root_ / cleaned).lexically_normal();
  fs::path relative = joined.lexically_relative(site_root_);
  if (relative.empty() || *relative.begin() == "..")
    RaiseError(kErrInvalidArgument, "the path '" + std::string(path) + "' leaves the site root");
  // A link inside the site may still point outside it.
  std::error_code ec;
  fs::path real = fs::weakly_canonical(joined, ec);
  fs::path real_root = fs::weakly_canonical(site_root_, ec);
  if (!ec) {
    fs::path real_rel = real.lexically_relative(real_root);
    if (real_rel.empty() || *real_rel.begin() == "..")
      RaiseError(kErrInvalidArgument, "the path '" + std::string(path) + "' leaves the site root");
  }
  return joined.string();
}

}  // namespace tabrix
