// A refused add or update answered with the form again, filled with what
// was posted and saying what to mend, instead of a box that loses it all.
#pragma once

#include <optional>
#include <string>

#include "host/error.h"
#include "site/config.h"
#include "site/http/http_message.h"
#include "site/pages/answers.h"
#include "site/pages/router.h"
#include "site/session/session_store.h"

namespace tabrix::site {

// For a posted add or update that `error` refused as the user's to mend (a
// value the field cannot take, a rule of the database): the form made again
// from the posted values, which writes nothing, with the reason above it
// and beside its field; the status is the refusal's (400 or 409). Nothing
// when the error is of another kind or the form cannot be made again.
std::optional<HttpResponse> FormAgainAnswer(const SiteConfig& config, Route route,
                                            const HttpRequest& request, SessionStore::Lease& lease,
                                            const ScriptError& error, const std::string& title,
                                            const std::string& menu);

}  // namespace tabrix::site
