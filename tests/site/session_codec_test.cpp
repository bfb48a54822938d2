// The bytes a session is kept as between servers: every scalar kind comes
// back exactly, keys keep their order and case, objects stay with the
// process that made them, and damaged or foreign bytes are refused without
// reading past their end.
#include "site/session/session_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/scripting/dictionary.h"

namespace tabrix::site {
namespace {

// Whether two sessions hold the same keys (same case, same order) and
// identical values.
bool SameEntries(const Session& a, const Session& b) {
  auto x = a.Entries(), y = b.Entries();
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i)
    if (x[i].first != y[i].first || !x[i].second.Identical(y[i].second)) return false;
  return true;
}

struct Kind {
  const char* id;
  Variant value;
};

std::vector<Kind> EveryScalarKind() {
  DecimalValue big;
  big.low = 0xffffffffffffffffull;
  big.high = 0xffffffffu;
  big.scale = 28;
  big.negative = true;
  return {
      {"empty", Variant()},
      {"null", Variant::Null()},
      {"true", Variant(true)},
      {"false", Variant(false)},
      {"long-min", Variant(std::numeric_limits<long long>::min())},
      {"long-max", Variant(std::numeric_limits<long long>::max())},
      {"double-fraction", Variant(0.1)},
      {"double-negative-zero", Variant(-0.0)},
      {"double-huge", Variant(1e300)},
      {"currency", Variant(CurrencyValue{-123456789})},
      {"decimal", Variant(big)},
      {"date-time", Variant(DateValue{38051.380208333336})},
      {"date-before-1899", Variant(DateValue{-657434.5})},
      {"string-utf8", Variant("Çağrı 🚀")},
      {"string-with-nul-and-bad-utf8", Variant(std::string("a\0b\xff\xfe", 5))},
      {"string-empty", Variant("")},
      {"binary", Variant::Binary({0, 1, 0x80, 0xff})},
      {"array", Variant::Array({Variant(1), Variant("x"), Variant::Array({Variant::Null()})})},
  };
}

TEST(SessionCodec, EveryScalarKindComesBackIdentical) {
  for (const Kind& kind : EveryScalarKind()) {
    SCOPED_TRACE(kind.id);
    Session session;
    session.SetValue("Value", kind.value);
    std::shared_ptr<Session> back = DecodeSession(EncodeSession(session), nullptr);
    ASSERT_TRUE(back->Contains("value"));
    Variant got = back->Value("value");
    EXPECT_EQ(got.type(), kind.value.type());
    EXPECT_TRUE(got.Identical(kind.value)) << got.TypeName();
    if (kind.value.type() == VarType::Double) {
      EXPECT_EQ(std::signbit(got.double_value()), std::signbit(kind.value.double_value()));
    }
  }
}

TEST(SessionCodec, KeysKeepTheirOrderAndCaseAndRemovedKeysStayGone) {
  Session session;
  session.SetValue("set_DNS", Variant("x"));
  session.SetValue("msg", Variant("hello"));
  session.SetValue("UserId", Variant(2));
  session.Remove("msg");
  session.SetValue("Msg", Variant("again"));  // a new store: last, in its new case
  std::shared_ptr<Session> back = DecodeSession(EncodeSession(session), nullptr);
  EXPECT_TRUE(SameEntries(*back, session));
  std::vector<std::string> keys;
  for (const auto& [key, value] : back->Entries()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"set_DNS", "UserId", "Msg"}));
}

TEST(SessionCodec, ObjectsStayWithTheProcessThatHoldsThem) {
  auto names = std::make_shared<scripting::Dictionary>();
  Session made;
  made.SetValue("FL_t", Variant("ok"));
  made.SetValue("FL_t_names", Variant(names));
  made.SetValue("mixed", Variant::Array({Variant(1), Variant(names)}));
  made.SetValue("after", Variant(7));
  std::string bytes = EncodeSession(made);

  // The process that made them gets its objects back, in their place.
  std::shared_ptr<Session> here = DecodeSession(bytes, &made);
  EXPECT_TRUE(SameEntries(*here, made));
  EXPECT_EQ(here->Value("fl_t_names").object().get(), names.get());

  // Another process has none: those keys are as if never kept.
  Session empty;
  for (const Session* local : std::vector<const Session*>{nullptr, &empty}) {
    std::shared_ptr<Session> there = DecodeSession(bytes, local);
    EXPECT_FALSE(there->Contains("FL_t_names"));
    EXPECT_FALSE(there->Contains("mixed"));
    EXPECT_EQ(there->Value("FL_t").string(), "ok");
    EXPECT_EQ(there->Value("after").long_value(), 7);
  }

  // A local value that is no longer an object under that key is not taken.
  Session stale;
  stale.SetValue("FL_t_names", Variant("text"));
  EXPECT_FALSE(DecodeSession(bytes, &stale)->Contains("FL_t_names"));
}

// Only what the session set is kept: the site's settings stay the site's,
// and what the session removed or stored again over them comes back so.
TEST(SessionCodec, KeepsOnlyTheSessionsOwnValuesOverTheSiteSettings) {
  auto site = std::make_shared<Session>();
  site->SetValue("set_DNS", Variant("Password=s3cret-dns"));
  site->SetValue("set_user1_password", Variant("s3cret-pw"));
  site->SetValue("set_relation1", Variant("a,b"));
  site->SetValue("set_relation2", Variant("c,d"));
  site->SetValue("msg", Variant("from the site"));
  Session session(site);
  session.SetValue("UserOk", Variant("yes"));
  session.SetValue("SET_RELATION1", Variant("x,y"));  // over the site's: its spelling
  session.Remove("set_relation2");                    // hides the site's
  session.Remove("MSG");
  session.SetValue("Msg", Variant("again"));  // stored again: its own spelling, last
  std::string bytes = EncodeSession(session);
  for (const char* secret : {"s3cret-dns", "s3cret-pw", "set_DNS", "a,b"})
    EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;

  std::shared_ptr<Session> back = DecodeSession(bytes, nullptr, site);
  EXPECT_TRUE(SameEntries(*back, session));
  std::vector<std::string> keys;
  for (const auto& [key, value] : back->Entries()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"set_DNS", "set_user1_password", "set_relation1",
                                            "UserOk", "Msg"}));
  EXPECT_EQ(back->Value("set_relation1").string(), "x,y");
  EXPECT_FALSE(back->Contains("set_relation2"));
  EXPECT_EQ(back->StoredKey("msg"), "Msg");
  EXPECT_EQ(back->Value("set_dns").string(), "Password=s3cret-dns") << "read through the site";
}

TEST(SessionCodec, DamagedOrForeignBytesAreRefused) {
  Session session;
  session.SetValue("k", Variant("value"));
  session.SetValue("list", Variant::Array({Variant(1.5)}));
  std::string good = EncodeSession(session);

  // Every shorter prefix is refused: no length is trusted past the end.
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_THROW(DecodeSession(good.substr(0, n), nullptr), SessionCodecError) << n;

  std::string deep("TBS\x02\x01\x01k\x00", 8);
  for (int i = 0; i < 100; ++i) deep += "\x0a\x01";
  const struct {
    const char* id;
    std::string bytes;
  } cases[] = {
      {"trailing-byte", good + "x"},
      {"other-mark", "XBS\x02" + good.substr(4)},
      {"older-version", "TBS\x01" + good.substr(4)},
      {"newer-version", "TBS\x03" + good.substr(4)},
      {"unknown-entry-kind", std::string("TBS\x02\x01\x01k\x03\x00", 9)},
      {"unknown-tag", std::string("TBS\x02\x01\x01k\x00\x7f", 9)},
      {"boolean-2", std::string("TBS\x02\x01\x01k\x00\x02\x02", 10)},
      {"decimal-scale-29", std::string("TBS\x02\x01\x01k\x00\x06", 9) + std::string(12, '\0') +
                               "\x1d" + std::string(1, '\0')},
      {"huge-count", std::string("TBS\x02\xff\xff\xff\xff\xff\xff\xff\xff\x7f", 13)},
      {"huge-string", std::string("TBS\x02\x01\x01k\x00\x08\xff\xff\xff\xff\x0f", 14)},
      {"endless-varint", "TBS\x02" + std::string(12, '\x80')},
      {"nested-too-deep", deep},
      {"kept-inside-array", std::string("TBS\x02\x01\x01k\x00\x0a\x01\x0b", 11)},
      {"key-twice", std::string("TBS\x02\x02\x01k\x00\x00\x01K\x02", 12)},
  };
  for (const auto& c : cases) EXPECT_THROW(DecodeSession(c.bytes, nullptr), SessionCodecError) << c.id;
}

}  // namespace
}  // namespace tabrix::site
