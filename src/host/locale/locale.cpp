// The regional settings, read from ICU once per locale.
//
// Everything a Locale answers is computed when it is made: symbols, month
// names, date and time patterns. No ICU formatter is kept (they are not
// thread-safe); case mapping calls ICU's stateless functions. Locales, once
// made, live until the process ends, so a reference from Current() stays
// valid even if another thread sets a new locale.
#include "host/locale/locale.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "host/error.h"
#include "host/locale/boolean_words.h"
#include "host/locale/date_text.h"
#include "host/locale/number_text.h"

namespace tabrix {

namespace {

constexpr std::string_view kDefaultTag = "en-US";

std::string Utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

// No-break spaces in ICU's patterns and symbols become what people type.
std::string PlainBlanks(std::string s) {
  for (std::string_view nbsp : {"\xE2\x80\xAF", "\xC2\xA0"}) {
    for (size_t at = s.find(nbsp); at != std::string::npos; at = s.find(nbsp, at))
      s.replace(at, nbsp.size(), " ");
  }
  return s;
}

// The languages ICU has data for.
const std::set<std::string>& AvailableLanguages() {
  static const std::set<std::string> languages = [] {
    std::set<std::string> out;
    int32_t count = 0;
    const icu::Locale* all = icu::Locale::getAvailableLocales(count);
    for (int32_t i = 0; i < count; ++i) out.insert(all[i].getLanguage());
    return out;
  }();
  return languages;
}

// The ICU locale for a BCP 47 tag ("tr-TR"; "tr_TR" too), or nullopt when
// ICU has no data for its language or does not know its region.
std::optional<icu::Locale> ResolveTag(std::string_view tag) {
  std::string text(tag);
  std::replace(text.begin(), text.end(), '_', '-');
  if (text.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale loc = icu::Locale::forLanguageTag(text, status);
  if (U_FAILURE(status) || loc.isBogus()) return std::nullopt;
  std::string language = loc.getLanguage();
  if (language.empty() || *loc.getISO3Language() == '\0') return std::nullopt;
  if (!AvailableLanguages().contains(language)) return std::nullopt;
  std::string_view region = loc.getCountry();
  bool numeric_region = !region.empty() && std::all_of(region.begin(), region.end(), [](char c) {
                          return c >= '0' && c <= '9';
                        });
  if (!region.empty() && !numeric_region && *loc.getISO3Country() == '\0') return std::nullopt;
  return loc;
}

regional::NumberSymbols ReadNumberSymbols(const icu::Locale& loc) {
  regional::NumberSymbols out;
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(loc, status);
  if (U_FAILURE(status)) RaiseError(kErrInvalidArgument, "no number data for the locale");
  out.decimal = Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
  out.group = Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol));
  // Where the locale groups with a blank of some kind, any blank will do;
  // where with a typographic apostrophe, the plain one too.
  const std::vector<std::string> blanks = {" ", "\xC2\xA0", "\xE2\x80\xAF"};
  if (std::find(blanks.begin(), blanks.end(), out.group) != blanks.end()) {
    for (const std::string& b : blanks)
      if (b != out.group) out.group_alternatives.push_back(b);
  } else if (out.group == "\xE2\x80\x99") {
    out.group_alternatives.push_back("'");
  }
  return out;
}

std::string PatternOf(icu::DateFormat* format, std::string fallback) {
  std::unique_ptr<icu::DateFormat> owned(format);
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(owned.get());
  if (simple == nullptr) return fallback;
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return PlainBlanks(Utf8(pattern));
}

// The order of year, month and day fields in a pattern.
regional::DateOrder OrderOf(std::string_view pattern) {
  std::string fields;
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    char field = c == 'L' ? 'M' : c;
    if ((field == 'y' || field == 'M' || field == 'd') && fields.find(field) == std::string::npos)
      fields += field;
  }
  if (!fields.empty() && fields[0] == 'y') return regional::DateOrder::YearMonthDay;
  if (fields.find('d') < fields.find('M')) return regional::DateOrder::DayMonthYear;
  return regional::DateOrder::MonthDayYear;
}

regional::DateSymbols ReadDateSymbols(const icu::Locale& loc) {
  regional::DateSymbols out = regional::EnglishDateSymbols();
  UErrorCode status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(loc, status);
  if (U_SUCCESS(status)) {
    int32_t count = 0;
    // The format context: the name as it stands in a date ("March", "März").
    const icu::UnicodeString* full = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
                                                       icu::DateFormatSymbols::WIDE);
    for (int32_t m = 0; m < std::min(count, int32_t{12}); ++m) out.months[m] = Utf8(full[m]);
    const icu::UnicodeString* abbreviated = symbols.getMonths(
        count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::ABBREVIATED);
    for (int32_t m = 0; m < std::min(count, int32_t{12}); ++m)
      out.months_abbreviated[m] = Utf8(abbreviated[m]);
    const icu::UnicodeString* periods = symbols.getAmPmStrings(count);
    if (count >= 2) {
      out.am = PlainBlanks(Utf8(periods[0]));
      out.pm = PlainBlanks(Utf8(periods[1]));
    }
  }
  out.date_pattern =
      PatternOf(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, loc), "M/d/yyyy");
  out.time_pattern =
      PatternOf(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, loc), "h:mm:ss a");
  out.order = OrderOf(out.date_pattern);
  return out;
}

class IcuLocale final : public Locale {
 public:
  explicit IcuLocale(const icu::Locale& loc)
      : icu_id_(loc.getName()),
        numbers_(ReadNumberSymbols(loc)),
        dates_(ReadDateSymbols(loc)),
        booleans_(regional::BooleanWordsFor(loc.getLanguage())) {
    UErrorCode status = U_ZERO_ERROR;
    tag_ = loc.toLanguageTag<std::string>(status);
    if (U_FAILURE(status)) tag_ = icu_id_;
  }

  const std::string& tag() const override { return tag_; }
  const std::string& decimal_symbol() const override { return numbers_.decimal; }
  const std::string& group_symbol() const override { return numbers_.group; }

  std::string MonthName(int month, bool abbreviated) const override {
    if (month < 1 || month > 12) RaiseError(kErrInvalidArgument, "month " + std::to_string(month));
    return abbreviated ? dates_.months_abbreviated[month - 1] : dates_.months[month - 1];
  }

  std::string DoubleText(double d) const override { return regional::DoubleText(d, numbers_); }
  std::string CurrencyText(CurrencyValue c) const override {
    return regional::CurrencyText(c, numbers_);
  }
  std::string FormatNumber(double d, int decimals, bool group) const override {
    return regional::FormatNumber(d, decimals, group, numbers_);
  }
  std::string DateText(DateValue d) const override { return regional::DateText(d, dates_); }
  std::optional<double> ParseNumber(std::string_view text) const override {
    return regional::ParseNumber(text, numbers_);
  }
  std::optional<DecimalValue> ParseDecimal(std::string_view text) const override {
    return regional::ParseDecimal(text, numbers_);
  }
  std::optional<bool> ParseBoolean(std::string_view text) const override {
    return regional::ParseBoolean(text, booleans_);
  }
  std::optional<DateValue> ParseDate(std::string_view text) const override {
    return regional::ParseDate(text, dates_);
  }

  std::string ToUpper(std::string_view text) const override { return MapCase(text, true); }
  std::string ToLower(std::string_view text) const override { return MapCase(text, false); }

 private:
  std::string MapCase(std::string_view text, bool upper) const {
    std::string out;
    icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    icu::StringPiece source(text.data(), static_cast<int32_t>(text.size()));
    if (upper)
      icu::CaseMap::utf8ToUpper(icu_id_.c_str(), 0, source, sink, nullptr, status);
    else
      icu::CaseMap::utf8ToLower(icu_id_.c_str(), 0, source, sink, nullptr, status);
    if (U_FAILURE(status)) return std::string(text);
    return out;
  }

  std::string icu_id_;  // "tr_TR": ICU's name, for case mapping
  std::string tag_;     // "tr-TR"
  regional::NumberSymbols numbers_;
  regional::DateSymbols dates_;
  regional::BooleanWords booleans_;
};

// Every locale made so far, by canonical ICU name; never shrinks.
std::mutex registry_mutex;
std::map<std::string, std::unique_ptr<IcuLocale>>& Registry() {
  static std::map<std::string, std::unique_ptr<IcuLocale>> registry;
  return registry;
}
std::atomic<const Locale*> current_locale{nullptr};

const Locale& Obtain(const icu::Locale& loc) {
  std::lock_guard lock(registry_mutex);
  auto& slot = Registry()[loc.getName()];
  if (!slot) slot = std::make_unique<IcuLocale>(loc);
  return *slot;
}

}  // namespace

const Locale& Locale::Current() {
  if (const Locale* loc = current_locale.load(std::memory_order_acquire)) return *loc;
  const Locale* fallback = &Obtain(*ResolveTag(kDefaultTag));
  const Locale* expected = nullptr;
  // Another thread may have set a locale meanwhile; that one wins.
  current_locale.compare_exchange_strong(expected, fallback, std::memory_order_acq_rel);
  return *current_locale.load(std::memory_order_acquire);
}

void Locale::SetCurrent(std::string_view tag) {
  std::optional<icu::Locale> loc = ResolveTag(tag);
  if (!loc) RaiseError(kErrInvalidArgument, "unknown locale \"" + std::string(tag) + "\"");
  current_locale.store(&Obtain(*loc), std::memory_order_release);
}

}  // namespace tabrix
