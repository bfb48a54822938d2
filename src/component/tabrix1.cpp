// The object itself: construction, access to the intrinsics, output, and
// the start and end of every table page.
#include "component/tabrix1.h"

#include "host/adodb/connection.h"
#include "host/adodb/recordset.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

constexpr std::string_view kBackButton =
    "<A href=\"#\" onclick=\"history.back()\"><img src='images/butback.gif' border='0'></a>"
    "&nbsp;<br>";

}  // namespace

Tabrix1::Tabrix1() { Class_Initialize(); }

void Tabrix1::Class_Initialize() {}

tabrix::Session& Tabrix1::SessionObject() const { return ObjectAs<tabrix::Session>(session); }
tabrix::Request& Tabrix1::RequestObject() const { return ObjectAs<tabrix::Request>(Request); }
tabrix::Response& Tabrix1::ResponseObject() const { return ObjectAs<tabrix::Response>(Response); }
tabrix::Server& Tabrix1::ServerObject() const { return ObjectAs<tabrix::Server>(Server); }

Variant Tabrix1::Setting(std::string_view key) const { return SessionObject().Value(key); }

Variant Tabrix1::Param(std::string_view name, bool exact) const {
  Variant value = exact ? RequestObject().ExactItem(name) : RequestObject().Item(name);
  if (value.IsString() && value.string().find('\0') != std::string::npos)
    RaiseError(kErrInvalidArgument,
               "the request item \"" + std::string(name) + "\" holds a NUL byte");
  return value;
}

void Tabrix1::Write(std::string_view text) { ResponseObject().Write(text); }

std::shared_ptr<adodb::Recordset> Tabrix1::NewRecordset() const {
  return ObjectRefAs<adodb::Recordset>(ServerObject().CreateObject("ADODB.Recordset"));
}

std::shared_ptr<adodb::Connection> Tabrix1::OpenSiteConnection() const {
  auto connection =
      ObjectRefAs<adodb::Connection>(ServerObject().CreateObject("adodb.connection"));
  connection->Open(Setting("set_dns"));
  return connection;
}

std::shared_ptr<scripting::Dictionary> Tabrix1::NewDictionary() const {
  return ObjectRefAs<scripting::Dictionary>(ServerObject().CreateObject("Scripting.Dictionary"));
}

void Tabrix1::RememberPageAddress(std::string_view copy_key) {
  tabrix::Request& request = RequestObject();
  Variant address(ConcatText(request.ServerVariables("SCRIPT_NAME")) + "?" +
                  ConcatText(request.ServerVariables("QUERY_STRING")));
  SessionObject().SetValue("lastpage", address);
  SessionObject().SetValue(copy_key, SessionObject().Value("lastpage"));
}

void Tabrix1::OpenRecordset(adodb::Recordset& rs, const std::string& sql, long cursor_type,
                            long lock_type) const {
  rs.Open(Variant(sql), Setting("set_dns"), Variant(cursor_type), Variant(lock_type));
}

Variant Tabrix1::Yaz(const Variant& Gelen) {
  ResponseObject().Write(ConcatText(Gelen));
  return Variant();
}

Variant Tabrix1::ALLPagesBegin() {
  BackLink = Variant(kBackButton);
  // The look-up recordset is made directly, not through the Server object;
  // it still reports its SQL to the server's observer when there is one.
  adodb::SqlObserver observer;
  if (Server.IsObject()) {
    if (auto* server = dynamic_cast<tabrix::Server*>(Server.object().get()))
      observer = server->sql_observer();
  }
  Rs2 = Variant(adodb::NewRecordset(std::move(observer)));
  return Variant();
}

Variant Tabrix1::ALLPagesEnd() {
  Yaz(Variant("\r\n\r\n\r\n"));
  Yaz(Variant("\r\n\r\n\r\n"));
  return Variant();
}

}  // namespace tabrix
