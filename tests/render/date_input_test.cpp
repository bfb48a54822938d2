// The date input: the lists it writes, the option it selects in each, the
// defaults it takes from the clock and stores back into its arguments, and
// the year list that reaches past the current year.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/variant_ops.h"
#include "render/select_lists.h"
#include "support/component_harness.h"

namespace tabrix {
namespace {

using testing::DateLists;
using testing::ReadDateLists;
using testing::SelectList;

// The clock reads 2031-07-04 09:05:30 in every test here: a year past the
// end of the old fixed year list.
class DateSelectKoyTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedNow(MakeDate(CivilTime{2031, 7, 4, 9, 5, 30})); }
  void TearDown() override { SetFixedNow(std::nullopt); }

  // Writes the control for base name "when" and reads its lists back.
  DateLists Render(const Variant& tip, Variant& d, Variant& m, Variant& y, Variant& hour,
                   Variant& minute) {
    h.object().DateSelectKoy(Variant("when"), tip, d, m, y, hour, minute);
    html = h.TakeOutput();
    return ReadDateLists(html);
  }
  DateLists Render(const Variant& tip, Variant d, Variant m, Variant y) {
    Variant hour(10), minute(20);
    return Render(tip, d, m, y, hour, minute);
  }

  testing::ComponentHarness h;
  std::string html;
};

std::optional<std::string> SelectedIn(const DateLists& lists, const char* name) {
  const SelectList* list = lists.Find(name);
  if (list == nullptr) return std::string("<no list ") + name + ">";
  return list->Selected();
}

TEST_F(DateSelectKoyTest, WritesTheListsWithTheirExactMarkup) {
  Variant d(5), m(12), y(2008), hour(0), minute(59);
  h.object().DateSelectKoy(Variant("when"), Variant(2), d, m, y, hour, minute);
  std::string out = h.TakeOutput();

  // The openings, the first options, the joins between lists and the end,
  // exactly as browsers and the receiving pages expect them.
  for (const char* piece : {
           "<select name=\"when_d\" class=\"select\"><Option value=\"1\">01</option>"
           "<Option value=\"2\">02</option>",
           "<Option value=\"5\" selected>05</option>",
           "<Option value=\"31\">31</option></select><select name=\"when_m\" class=\"select\">"
           "<Option value=\"1\">01</option>",
           "<Option value=\"12\" selected>12</option></select><select name=\"when_y\" "
           "class=\"select\"><Option value=\"1920\">1920</option>",
           "<Option value=\"2041\">2041</option></select><select name=\"when_h\" "
           "class=\"select\"><Option value=\"0\" selected>00</option>",
           "<Option value=\"23\">23</option></select>:<select name=\"when_i\" class=\"select\">"
           "<Option value=\"0\">00</option>",
       }) {
    EXPECT_NE(out.find(piece), std::string::npos) << piece;
  }
  EXPECT_TRUE(out.ends_with("</option><Option value=\"59\" selected>59</option></select>"));
}

TEST_F(DateSelectKoyTest, EachListOffersItsFixedRangeWithTwoDigitLabels) {
  Variant d, m, y, hour, minute;
  DateLists lists = Render(Variant(2), d, m, y, hour, minute);
  ASSERT_EQ(lists.Names(),
            (std::vector<std::string>{"when_d", "when_m", "when_y", "when_h", "when_i"}));
  EXPECT_EQ(lists.gaps, (std::vector<std::string>{"", "", "", "", ":", ""}));

  struct Range {
    const char* name;
    int first, last;
    const char* first_label;
    const char* last_label;
  } ranges[] = {
      {"when_d", 1, 31, "01", "31"},          {"when_m", 1, 12, "01", "12"},
      {"when_y", 1920, 2041, "1920", "2041"}, {"when_h", 0, 23, "00", "23"},
      {"when_i", 0, 59, "00", "59"},
  };
  for (const Range& r : ranges) {
    const SelectList& list = *lists.Find(r.name);
    ASSERT_EQ(list.options.size(), static_cast<size_t>(r.last - r.first + 1)) << r.name;
    for (size_t k = 0; k < list.options.size(); ++k)
      EXPECT_EQ(list.options[k].value, std::to_string(r.first + static_cast<int>(k))) << r.name;
    EXPECT_EQ(list.options.front().label, r.first_label) << r.name;
    EXPECT_EQ(list.options.back().label, r.last_label) << r.name;
  }
  // Labels below ten carry a leading zero, ten and above do not.
  EXPECT_EQ(lists.Find("when_d")->options[8].label, "09");
  EXPECT_EQ(lists.Find("when_d")->options[9].label, "10");
  // Every month offers 31 days: nothing ties the day to the month.
  EXPECT_EQ(lists.Find("when_d")->options.size(), 31u);
}

TEST_F(DateSelectKoyTest, EmptyPartsTakeTheCurrentDateAndTimeAndAreStoredBack) {
  Variant d, m(""), y = Variant::Null(), hour, minute("");
  DateLists lists = Render(Variant(2), d, m, y, hour, minute);
  EXPECT_EQ(SelectedIn(lists, "when_d"), "4");
  EXPECT_EQ(SelectedIn(lists, "when_m"), "7");
  EXPECT_EQ(SelectedIn(lists, "when_y"), "2031");
  EXPECT_EQ(SelectedIn(lists, "when_h"), "9");
  EXPECT_EQ(SelectedIn(lists, "when_i"), "5");
  // The caller's arguments now hold the parts as numbers.
  const Variant* args[] = {&d, &m, &y, &hour, &minute};
  const long expected[] = {4, 7, 2031, 9, 5};
  for (int k = 0; k < 5; ++k) {
    ASSERT_EQ(args[k]->type(), VarType::Long) << k;
    EXPECT_EQ(args[k]->long_value(), expected[k]) << k;
  }
}

TEST_F(DateSelectKoyTest, GivenPartsAreKeptAsTheyAre) {
  Variant d("07"), m(0), y(2008.0), hour(false), minute("x");
  Render(Variant(2), d, m, y, hour, minute);
  EXPECT_TRUE(d.Identical(Variant("07")));
  EXPECT_TRUE(m.Identical(Variant(0)));  // 0 is a value, not an empty part
  EXPECT_TRUE(y.Identical(Variant(2008.0)));
  EXPECT_TRUE(hour.Identical(Variant(false)));
  EXPECT_TRUE(minute.Identical(Variant("x")));
}

TEST_F(DateSelectKoyTest, SelectsTheOptionWhoseNumberReadsAsTheSameText) {
  struct Case {
    Variant day;
    std::optional<std::string> selected;
  } cases[] = {
      {Variant(7), "7"},
      {Variant("7"), "7"},
      {Variant(7.0), "7"},
      {Variant("07"), std::nullopt},  // the text differs from "7"
      {Variant(" 7"), std::nullopt},
      {Variant(0), std::nullopt},
      {Variant(32), std::nullopt},
      {Variant(31), "31"},
      {Variant(7.5), std::nullopt},
  };
  for (const Case& c : cases) {
    DateLists lists = Render(Variant(1), c.day, Variant(3), Variant(2008));
    EXPECT_EQ(SelectedIn(lists, "when_d"), c.selected) << ConcatText(c.day);
    EXPECT_EQ(SelectedIn(lists, "when_m"), "3");
    EXPECT_EQ(SelectedIn(lists, "when_y"), "2008");
  }
}

TEST_F(DateSelectKoyTest, OnlyKindTwoWritesHourAndMinute) {
  struct Case {
    Variant tip;
    bool with_time;
  } cases[] = {
      {Variant(2), true},       {Variant(2.0), true},  {Variant("2"), true},
      {Variant(1), false},      {Variant(3), false},   {Variant(), false},
      {Variant::Null(), false}, {Variant("x"), false}, {Variant(true), false},
  };
  for (const Case& c : cases) {
    Variant d(1), m(1), y(2000), hour(10), minute(20);
    DateLists lists = Render(c.tip, d, m, y, hour, minute);
    std::vector<std::string> expected{"when_d", "when_m", "when_y"};
    if (c.with_time) {
      expected.push_back("when_h");
      expected.push_back("when_i");
    }
    EXPECT_EQ(lists.Names(), expected) << ConcatText(c.tip);
    EXPECT_EQ(html.find(':') != std::string::npos, c.with_time) << ConcatText(c.tip);
  }
}

TEST_F(DateSelectKoyTest, YearListReachesTenYearsAheadAndStretchesToTheYearShown) {
  struct Case {
    Variant year;
    int first, last;
    std::optional<std::string> selected;
  } cases[] = {
      {Variant(), 1920, 2041, "2031"},  // this year, not 1920, is submitted unchanged
      {Variant(2008), 1920, 2041, "2008"},
      {Variant("1850"), 1850, 2041, "1850"},
      {Variant(2100), 1920, 2100, "2100"},
      {Variant(9999), 1920, 9999, "9999"},
      {Variant(1), 1, 2041, "1"},
      {Variant(10000), 1920, 2041, std::nullopt},  // no such year
      {Variant(0), 1920, 2041, std::nullopt},
      {Variant(-5), 1920, 2041, std::nullopt},
      {Variant("01850"), 1920, 2041, std::nullopt},  // would select nothing anyway
      {Variant("abc"), 1920, 2041, std::nullopt},
      {Variant(1850.5), 1920, 2041, std::nullopt},
  };
  for (const Case& c : cases) {
    DateLists lists = Render(Variant(1), Variant(1), Variant(1), c.year);
    const SelectList& years = *lists.Find("when_y");
    ASSERT_FALSE(years.options.empty());
    EXPECT_EQ(years.options.front().value, std::to_string(c.first)) << ConcatText(c.year);
    EXPECT_EQ(years.options.back().value, std::to_string(c.last)) << ConcatText(c.year);
    EXPECT_EQ(years.options.size(), static_cast<size_t>(c.last - c.first + 1));
    EXPECT_EQ(years.Selected(), c.selected) << ConcatText(c.year);
  }
  // A year is labelled by its plain number, even below ten.
  DateLists early = Render(Variant(1), Variant(1), Variant(1), Variant(5));
  EXPECT_EQ(early.Find("when_y")->options.front().label, "5");
}

TEST_F(DateSelectKoyTest, ErrorsPassToTheCaller) {
  // A part that has no text form is a type mismatch.
  Variant d(std::make_shared<Session>()), m(1), y(2000), hour(1), minute(1);
  try {
    h.object().DateSelectKoy(Variant("when"), Variant(1), d, m, y, hour, minute);
    FAIL() << "an object as the day must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
  }

  // Without a Response nothing can be written.
  Tabrix1 bare;
  Variant bd, bm, by, bh, bi;
  try {
    bare.DateSelectKoy(Variant("when"), Variant(1), bd, bm, by, bh, bi);
    FAIL() << "writing without a Response must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
}

}  // namespace
}  // namespace tabrix
