// How the add and update pages finish a post: their writes as one
// transaction, the message for the next page, and the script that moves the
// browser to the record.
#include <memory>
#include <optional>
#include <string>

#include "host/adodb/connection.h"
#include "host/variant_ops.h"
#include "pages/record_form_parts.h"

namespace tabrix::record_form {

bool IsPosted(const Tabrix1& page) {
  Variant go = page.Param("go");
  return go.IsString() && go.string() == "1";
}

Variant FieldObject(adodb::Recordset& rs, long position) {
  return Variant(rs.fields().Item(Variant(position)));
}


void AppendMessage(Tabrix1& page, std::string_view text) {
  page.SessionObject().SetValue("msg",
                                Variant(ConcatText(page.Setting("msg")) + std::string(text)));
}

void WriteRecordRedirect(Tabrix1& page, const std::optional<Variant>& id) {
  // Both values are URL-encoded: letters, digits, "+" and "%XX" are all
  // that is left, so nothing can end the script's string or its element.
  Server& server = page.ServerObject();
  std::string code =
      server.URLEncode(ConcatText(page.TableCode(page.CurrentTable)));
  std::string target = id ? "Info.asp?t=" + code + "&id=" + server.URLEncode(ConcatText(*id))
                          : "Search.asp?t=" + code + "&go=1";
  page.Write("<script language=\"javascript\">window.location.href='" + target +
             "';</script>");
}

}  // namespace tabrix::record_form
