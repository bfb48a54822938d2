// Captions: readable names for tables and fields, the heading block of a
// page, and one column of one record for the hosting pages.
#include <string>

#include "component/tabrix1.h"
#include "host/locale/locale.h"
#include "host/text/utf8.h"
#include "host/variant_ops.h"

namespace tabrix {

Variant Tabrix1::CaptionDuzelt(const Variant& Name) {
  if (IsEmptyText(Name)) RaiseError(kErrInvalidArgument, "a caption needs a name");
  std::string name = ToText(Name);
  const Locale& locale = Locale::Current();
  std::string caption = locale.ToUpper(text::Mid(name, 0, 1)) + locale.ToLower(text::Mid(name, 1));
  for (char& c : caption)
    if (c == '_') c = ' ';
  return Variant(caption);
}

Variant Tabrix1::FieldCaption(const Variant& Name) { return Replacetext(CaptionDuzelt(Name)); }

Variant Tabrix1::CaptionInclude() {
  Yaz(Variant("<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"));
  Yaz(Variant("<caption>" + ConcatText(PageCaption) + "</caption>"));
  Yaz(Variant("</table>"));
  Yaz(CaptionAppend);
  return Variant();
}

Variant Tabrix1::CaptionGetir(const Variant& cTableName, const Variant& cId,
                              const Variant& cFieldName) {
  // An id that is not above zero names no record: it comes back as it is.
  if (ToDouble(cId) <= 0) return cId;
  std::string table = ConcatText(cTableName);
  std::string sql =
      "select * from [" + table + "] where " + table + ".1=" + ConcatText(cId);
  auto& rs = ObjectAs<adodb::Recordset>(Rs2);
  OpenRecordset(rs, sql);
  Variant result;
  if (!rs.Eof()) result = rs.Value(cFieldName);
  rs.Close();
  return result;
}

}  // namespace tabrix
