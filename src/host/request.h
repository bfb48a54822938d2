// Request: what one HTTP request carries to the component.
//
// Item() looks a name up, ignoring letter case (ExactItem() by its exact
// spelling), in the query string and then in the posted form; a name given
// several times reads as its values joined by ", ". Cookies and server variables are reached only through their own
// collections. A Request is filled once, before the component sees it, and
// only read afterwards.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/object.h"
#include "host/variant.h"

namespace tabrix {

class Request : public Object {
 public:
  using Items = std::vector<std::pair<std::string, std::string>>;

  std::string_view ClassName() const override { return "Request"; }

  // The default lookup: a String when the name is in the query string or
  // the form, else Empty.
  Variant Item(std::string_view name) const;
  // As Item, but only items spelled exactly `name` count.
  Variant ExactItem(std::string_view name) const;
  Variant QueryString(std::string_view name) const;
  Variant Form(std::string_view name) const;
  Variant Cookies(std::string_view name) const;
  // A server variable's text; Empty when the variable is not known.
  Variant ServerVariables(std::string_view name) const;

  // Filling, before the component runs. SetQueryString parses the text and
  // also sets QUERY_STRING.
  void SetQueryString(std::string_view raw);
  void AddQueryItem(std::string name, std::string value);
  void AddFormItem(std::string name, std::string value);
  void SetFormBody(std::string_view urlencoded_body);
  void AddCookie(std::string name, std::string value);
  void SetServerVariable(std::string name, std::string value);

  const Items& query_items() const { return query_; }
  const Items& form_items() const { return form_; }

 private:
  static Variant Lookup(const Items& items, std::string_view name, bool exact = false);
  Items query_, form_, cookies_, server_vars_;
};

}  // namespace tabrix
