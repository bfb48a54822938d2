// The site's routes: which hosting page or static file a request path
// names. Page names ignore letter case (the component lower-cases the links
// it is configured with); static files live under "/assets/" and "/images/".
#pragma once

#include <string_view>

namespace tabrix::site {

enum class Route { kHome, kLogin, kSearch, kInfo, kAdd, kUpdate, kAction, kHistory, kExport, kStatic, kNotFound };

// The route of a percent-decoded request path ("/Search.asp").
Route RouteOf(std::string_view path);

// The page's script name as the component's links write it ("/Search.asp").
std::string_view ScriptName(Route route);

}  // namespace tabrix::site
