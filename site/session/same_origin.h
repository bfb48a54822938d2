// The same-origin check of the site's POSTs: a form that changes data (the
// login, add, update and a confirmed bulk action) is accepted only when the
// browser says it was sent from a page of this site.
//
// The sender is the Origin header, else the origin of the Referer header (a
// browser sends one of them with a POST; a request with neither is refused,
// and an Origin that does not match is not saved by a Referer). With a
// public origin configured ("https://db.example.com", a site behind a TLS
// proxy) the sender must be that origin: scheme, host and port. Without one
// the server cannot know the scheme the browser used, so the sender's host
// and port must be the Host header the request came with (a port left out
// is the default one of the sender's scheme). Hosts compare ignoring ASCII
// letter case; only http and https senders are accepted; anything
// malformed (an opaque "null" origin, user information, a bad port, two
// Origin headers) is refused.
//
// Threads: a pure function.
#pragma once

#include <string>
#include <string_view>

#include "site/http/http_message.h"

namespace tabrix::site {

// Whether `text` is an origin the check can compare with: an http or https
// scheme, a host and an optional port from 1 to 65535, nothing after it.
// The configuration's public_origin must be one.
bool IsOrigin(std::string_view text);

// Whether `request` comes from the site's own origin (see above).
// `public_origin` empty: compare with the Host header.
bool IsSameOrigin(const HttpRequest& request, const std::string& public_origin);

}  // namespace tabrix::site
