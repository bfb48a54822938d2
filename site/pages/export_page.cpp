// "Export.asp": every row of a list's result, as CSV or JSON, streamed.
#include "site/pages/export_page.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/connection.h"
#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/decimal.h"
#include "host/error.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"
#include "site/pages/answers.h"
#include "site/pages/bulk_actions.h"
#include "site/pages/page_run.h"
#include "site/variant_json.h"

namespace tabrix::site {

namespace {

// A piece of the body is sent once it has grown to this.
constexpr std::size_t kPieceBytes = 64 * 1024;

enum class Format { kCsv, kJson };

// One column of the file: a field, or the caption of the row its value
// names in a related table.
struct Column {
  std::string item;     // the result's column: the field, or field + "_caption"
  std::string heading;  // CSV head: the caption; JSON key: the name
  std::string key;
  long type = 0;
  bool caption = false;
};

// The caption column beside field `name`, when it has a relation whose
// table and caption field the user may view (the list shows the caption
// under the same test).
std::optional<Column> CaptionColumn(Tabrix1& page, const ExportColumn& field) {
  long relation = static_cast<long>(ToLong(page.GetRelation(page.CurrentTable, Variant(field.name))));
  if (relation <= 0) return std::nullopt;
  std::string setting = ConcatText(page.Setting("set_relation" + std::to_string(relation)));
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t comma = setting.find(',', start);
    parts.push_back(setting.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() < 4) return std::nullopt;
  const std::string& related = parts[1];
  const std::string& caption_field = parts[3];
  if (!ToBool(page.YetkiKontrol(Variant(related), Variant("V"))) ||
      !ToBool(page.YetkiKontrolField(Variant(related), Variant(caption_field), Variant("V"))))
    return std::nullopt;
  return Column{field.name + "_caption", field.caption + " (" + caption_field + ")",
                field.name + "_caption", adodb::kVarWChar, true};
}

std::vector<Column> FileColumns(Tabrix1& page) {
  std::vector<Column> columns;
  for (const ExportColumn& field : ListColumns(page)) {
    columns.push_back({field.name, field.caption, field.name, field.type, false});
    if (std::optional<Column> caption = CaptionColumn(page, field)) columns.push_back(*caption);
  }
  return columns;
}

// A date as ISO 8601: the day alone for a date column whose value has no
// time of day, else day and time ("2024-05-01T09:30:00").
std::string IsoDate(const Variant& value, long field_type) {
  CivilTime t;
  try {
    t = SplitDate(value.date());
  } catch (const ScriptError&) {
    return ConcatText(value);  // outside the calendar: as the list shows it
  }
  char text[40];
  bool day_only = field_type != adodb::kDBTimeStamp && t.hour == 0 && t.minute == 0 && t.second == 0;
  if (day_only)
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
  else
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
  return text;
}

std::string CsvValue(const Variant& value, long field_type) {
  if (value.type() == VarType::Date) return CsvCell(IsoDate(value, field_type));
  return CsvCell(value, field_type);
}

std::string JsonValue(const Variant& value, long field_type) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: return "null";
    case VarType::Boolean: return value.boolean() ? "true" : "false";
    case VarType::Long: return std::to_string(value.long_value());
    case VarType::Double: {
      double d = value.double_value();
      return std::isfinite(d) ? DumpJson(Json(d)) : "null";
    }
    case VarType::Currency: return CurrencyInvariantText(value.currency());
    case VarType::Decimal: return DecimalText(value.decimal(), ".");
    case VarType::Date: return DumpJson(Json(IsoDate(value, field_type)));
    case VarType::String: return DumpJson(Json(value.string()));
    default: return DumpJson(Json(ConcatText(value)));
  }
}

// The rows of an open forward cursor as a file, a piece at a time. Holds
// the cursor (and so its database connection and read snapshot) until the
// last row is written or the server drops the stream.
class ExportStream : public BodyStream {
 public:
  ExportStream(std::shared_ptr<adodb::Recordset> rs, std::vector<Column> columns, Format format)
      : rs_(std::move(rs)), columns_(std::move(columns)), format_(format) {}
  ~ExportStream() override { CloseCursor(); }

  bool Next(std::string& out) override {
    // Each piece has the whole statement time: the wait for the client
    // between pieces is bounded by the server, not by the statement.
    adodb::StatementPiece piece;
    if (!started_) {
      started_ = true;
      if (format_ == Format::kCsv) {
        out += "\xEF\xBB\xBF";
        for (size_t i = 0; i < columns_.size(); ++i)
          out += (i == 0 ? "" : ",") + CsvCell(columns_[i].heading);
        out += "\r\n";
      } else {
        out += "[";
      }
    }
    while (out.size() < kPieceBytes && !rs_->Eof()) {
      format_ == Format::kCsv ? CsvRow(out) : JsonRow(out);
      rs_->MoveNext();
    }
    if (!rs_->Eof()) return true;
    if (format_ == Format::kJson) out += rows_ == 0 ? "]\n" : "\n]\n";
    CloseCursor();
    return false;
  }

 private:
  void CsvRow(std::string& out) {
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i > 0) out += ',';
      out += CsvValue(rs_->Value(Variant(columns_[i].item)), columns_[i].type);
    }
    out += "\r\n";
    ++rows_;
  }

  void JsonRow(std::string& out) {
    out += rows_ == 0 ? "\n{" : ",\n{";
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i > 0) out += ',';
      out += DumpJson(Json(columns_[i].key));
      out += ':';
      out += JsonValue(rs_->Value(Variant(columns_[i].item)), columns_[i].type);
    }
    out += '}';
    ++rows_;
  }

  void CloseCursor() {
    try {
      if (rs_ && rs_->State() == 1) rs_->Close();
    } catch (...) {
      // Closing ends a read snapshot; a link already lost has nothing to end.
    }
    rs_.reset();
  }

  std::shared_ptr<adodb::Recordset> rs_;
  std::vector<Column> columns_;
  Format format_;
  bool started_ = false;
  std::int64_t rows_ = 0;
};

// A file name from the table's caption: letters, digits, "_" and "-"
// (blanks become "_"), else the table's name, else "records".
std::string FileName(const std::string& caption, const std::string& table, Format format) {
  auto clean = [](const std::string& text) {
    std::string name;
    for (char c : text) {
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '-')
        name += c;
      else if (c == ' ' && !name.empty() && name.back() != '_')
        name += '_';
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
  };
  std::string name = clean(caption);
  if (name.empty()) name = clean(table);
  if (name.empty()) name = "records";
  return name + (format == Format::kCsv ? ".csv" : ".json");
}

Format FormatOf(const Variant& asked) {
  std::string text = ConcatText(asked);
  if (EqualsIgnoreCase(text, "csv")) return Format::kCsv;
  if (EqualsIgnoreCase(text, "json")) return Format::kJson;
  RaiseRequestError(kErrInvalidArgument,
                    "the request item \"format\" is \"csv\" or \"json\", not \"" + text + "\"");
}

}  // namespace

bool MayExport(const SiteConfig& config, Tabrix1& page, const Variant& table) {
  if (!ToBool(page.YetkiKontrol(table, Variant("V")))) return false;
  for (const auto& [number, action] : config.actions) {
    if (action.kind != BulkAction::Kind::kExport) continue;
    if (IsEmptyText(page.Setting("set_action" + std::to_string(number)))) continue;
    if (ToBool(page.ActionThis(Variant(static_cast<std::int64_t>(number)), table))) return true;
  }
  return false;
}

HttpResponse ServeExportPage(const SiteContext& site, const HttpRequest& request,
                             SessionStore::Lease& lease) {
  Session& session = lease.session();
  if (!IsLoggedIn(session)) return RedirectAnswer("Login.asp");
  std::shared_ptr<void> scope = site.guards.page_scope();
  ComponentRun run(site.config, lease.shared_session(),
                   BuildComponentRequest(request, "/Export.asp"));
  Tabrix1& page = run.object();
  std::string menu;
  try {
    menu = run.RunMenu();
    Variant table = run.RequestedTable();
    if (IsEmptyText(table)) {
      run.Close();
      return NotFoundAnswer(menu);
    }
    Format format = FormatOf(page.Param("format"));
    page.ALLPagesBegin();
    page.CurrentTable = table;
    // As the list page: a user who may not view the table is sent away
    // before anything of it is read.
    if (!ToBool(page.YetkiKontrol(table, Variant("V")))) {
      run.Close();
      return RedirectAnswer("Login.asp?msg=Y");
    }
    page.GetTableSpesific(table);
    // As the bulk export: only a user whom an export action allows.
    if (!MayExport(site.config, page, table)) {
      run.Close();
      return RefusedAnswer("Access Denied!", menu);
    }
    page.GetFieldList(table);
    list_page::ListQuery query = list_page::RequestListQuery(page);
    std::vector<Column> columns = FileColumns(page);
    // A static read-only cursor read from first to last steps forward on
    // either engine: no row is held but the current one.
    std::shared_ptr<adodb::Recordset> rs = page.NewRecordset();
    page.OpenRecordset(*rs, query.Ordered(), adodb::kStatic, adodb::kReadOnly);
    std::string file = FileName(ConcatText(page.TableCaption), ConcatText(table), format);
    run.Close();

    HttpResponse response;
    response.SetHeader("Content-Type", format == Format::kCsv ? "text/csv; charset=utf-8"
                                                              : "application/json; charset=utf-8");
    response.SetHeader("Content-Disposition", "attachment; filename=\"" + file + "\"");
    response.SetHeader("Cache-Control", "no-store");
    response.SetHeader("X-Content-Type-Options", "nosniff");
    response.stream = std::make_shared<ExportStream>(std::move(rs), std::move(columns), format);
    return response;
  } catch (const ScriptError& error) {
    run.Close();
    return ErrorAnswer(error, menu);
  }
}

std::string ExportLinks(const SiteConfig& config, Tabrix1& page, const HttpRequest& request) {
  if (IsEmptyText(page.Param("go")) || !page.Rs.IsObject() || !page.Rs.object()) return "";
  auto* rs = dynamic_cast<adodb::Recordset*>(page.Rs.object().get());
  if (rs == nullptr || rs->State() != 1) return "";
  std::int64_t count = rs->RecordCount();
  if (count <= 0 || !MayExport(config, page, page.CurrentTable)) return "";
  // The list's own items, without its page and page size: the export is
  // the whole result.
  std::string items;
  std::string_view query = request.query;
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    std::string_view name = item.substr(0, item.find('='));
    if (name.empty() || EqualsIgnoreCase(name, "p") || EqualsIgnoreCase(name, "c") ||
        EqualsIgnoreCase(name, "format"))
      continue;
    items += std::string(item) + "&";
  }
  std::string base = "Export.asp?" + items + "format=";
  return "<p class=\"export-all\">Export all " + std::to_string(count) +
         (count == 1 ? " row: " : " rows: ") + "<a href=\"" + HtmlEscape(base + "csv") +
         "\" download>CSV</a> &middot; <a href=\"" + HtmlEscape(base + "json") +
         "\" download>JSON</a></p>";
}

}  // namespace tabrix::site
