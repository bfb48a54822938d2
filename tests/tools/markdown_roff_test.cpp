// The markdown of docs/ as man(7) roff: each block and inline mark, the
// characters roff would take for requests or escapes, and the faults that
// stop the build.
#include "tools/man_page/markdown_roff.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tabrix::man {
namespace {

struct Case {
  const char* what;
  const char* markdown;
  const char* roff;
};

TEST(MarkdownToRoff, Blocks) {
  const Case cases[] = {
      {"headings; an entry holds what follows it up to the next heading",
       "# Settings\n## The file\n### `set_dns`\n\nThe database.\n\nMore.\n### `set_x`\n## Next\n",
       ".SH SETTINGS\n.SS The file\n.PP\n\\fBset_dns\\fR\n.RS 4\n.PP\nThe database.\n.PP\n"
       "More.\n.RE\n.PP\n\\fBset_x\\fR\n.RS 4\n.RE\n.SS Next\n"},
      {"a paragraph keeps its lines; none may start a request",
       "One line\n  .starts with a dot\n'and a quote\n\nNext.\n",
       ".PP\nOne line\n\\&.starts with a dot\n\\&'and a quote\n.PP\nNext.\n"},
      {"bullets, a continued item, a list inside an item, a paragraph of an item",
       "- one\n  goes on\n- two\n  - inner\n- three\n\n  its second paragraph\n\nAfter.\n",
       ".IP \\(bu 2\none\ngoes on\n.IP \\(bu 2\ntwo\n.RS 2\n.IP \\(bu 2\ninner\n.RE\n"
       ".IP \\(bu 2\nthree\n.IP\nits second paragraph\n.PP\nAfter.\n"},
      {"a numbered list",
       "1. first\n2. second\n",
       ".IP 1. 4\nfirst\n.IP 2. 4\nsecond\n"},
      {"a code block is kept line by line, a blank line and a leading dot too",
       "```toml\nlisten = \"a-b\"   # x\\y\n\n.x\n```\n",
       ".PP\n.RS 4\n.nf\nlisten = \"a\\-b\"   # x\\ey\n\\&\n\\&.x\n.fi\n.RE\n"},
      {"a table of two columns: each row an entry tagged with its first cell",
       "| Key | Meaning |\n|---|---|\n| `Mode` | `Read`: read only |\n| a `x|y` b | c \\| d |\n",
       ".TP 4\n\\fBMode\\fR\n\\fBRead\\fR: read only\n.TP 4\na \\fBx|y\\fR b\nc | d\n"},
      {"a table of three columns names the further cells by their header",
       "| L | Allows | Checked by |\n|:-|-|-|\n| V | view | the menu |\n",
       ".TP 4\nV\nAllows: view\n.br\nChecked by: the menu\n"},
      {"the NAME line's dash",
       "# NAME\n\ntabrix - a web site - of a database\n",
       ".SH NAME\n.PP\ntabrix \\- a web site - of a database\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkdownToRoff(c.markdown), c.roff) << c.what;
}

TEST(MarkdownToRoff, InlineMarks) {
  const Case cases[] = {
      {"code is bold, its minus signs kept", "run `tabrix --config FILE` now",
       "run \\fBtabrix \\-\\-config FILE\\fR now"},
      {"bold and italic, and code inside bold", "**bold `x` still** and *it*",
       "\\fBbold \\fBx\\fB still\\fR and \\fIit\\fR"},
      {"a star that opens nothing stays", "a * b, *.CustomerId and 2*3",
       "a * b, *.CustomerId and 2*3"},
      {"a star inside code stays", "`*.CustomerId,Customers`", "\\fB*.CustomerId,Customers\\fR"},
      {"escaped marks are the marks themselves", "\\*not\\* \\`code\\` \\[x\\]",
       "*not* `code` [x]"},
      {"the escape character and characters beyond ASCII", "C:\\dir caf\xC3\xA9 \xE2\x80\x94 ok",
       "C:\\edir caf\\[u00E9] \\[u2014] ok"},
      {"links: the text; a web address after it",
       "see [the README](../README.md#configuration) or [the site](https://example.com/a-b)",
       "see the README or the site <https://example.com/a-b>"},
  };
  for (const Case& c : cases) EXPECT_EQ(InlineToRoff(c.markdown), c.roff) << c.what;
  EXPECT_EQ(PlainText("**set_userN_name**, `x`, *y* and [z](w)"), "set_userN_name, x, y and z");
}

TEST(MarkdownToRoff, FaultsNameTheirLine) {
  const Case cases[] = {
      {"a code block never closed", "text\n\n```\ncode\n", "line 3: the code block is never closed"},
      {"a row of another width", "| a | b |\n|---|---|\n| 1 | 2 | 3 |\n",
       "line 3: the row has 3 cells, its header 2"},
      {"a table without its rule", "| a | b |\n| 1 | 2 |\n",
       "line 1: a table needs a header row and a \"|---|\" row"},
      {"text that is not UTF-8", "caf\xE9\n", "the text is not UTF-8"},
  };
  for (const Case& c : cases) {
    try {
      MarkdownToRoff(c.markdown);
      ADD_FAILURE() << c.what << ": no fault";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.roff) << c.what;
    }
  }
}

TEST(MarkdownToRoff, TitleLine) {
  EXPECT_EQ(TitleLine("TABRIX", "1", "tabrix 0.9.0", "User Commands"),
            ".TH TABRIX 1 \"\" \"tabrix 0.9.0\" \"User Commands\"\n");
}

}  // namespace
}  // namespace tabrix::man
