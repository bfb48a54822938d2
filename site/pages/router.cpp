#include "site/pages/router.h"

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

struct PageRoute {
  std::string_view script;
  Route route;
};

constexpr PageRoute kPages[] = {
    {"/Login.asp", Route::kLogin},   {"/Search.asp", Route::kSearch},
    {"/Info.asp", Route::kInfo},     {"/Add.asp", Route::kAdd},
    {"/Update.asp", Route::kUpdate}, {"/Action.asp", Route::kAction},
    {"/History.asp", Route::kHistory}, {"/Export.asp", Route::kExport},
};

}  // namespace

Route RouteOf(std::string_view path) {
  if (path == "/") return Route::kHome;
  for (const PageRoute& page : kPages)
    if (EqualsIgnoreCase(path, page.script)) return page.route;
  if (path.starts_with("/assets/") || path.starts_with("/images/")) return Route::kStatic;
  return Route::kNotFound;
}

std::string_view ScriptName(Route route) {
  for (const PageRoute& page : kPages)
    if (page.route == route) return page.script;
  return "/";
}

}  // namespace tabrix::site
