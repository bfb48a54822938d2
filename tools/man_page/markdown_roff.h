// The man page is written in markdown (docs/), for people to read on the
// web and in the tree, and turned into man(7) roff at build time, so that
// the settings reference has one text.
//
// The markdown it takes is a small part of the usual kind:
//   "# Heading"      .SH, in capitals ("# NAME", "# Settings")
//   "## Heading"     .SS
//   "### Heading"    an entry: the heading in bold, what follows it indented
//                    up to the next heading of level 1 to 3
//   paragraphs       lines up to a blank line, filled
//   "- item"         bullet lists; lines indented under an item continue it,
//                    and "  - item" under one makes a list inside it
//   "1. item"        numbered lists, likewise
//   "```"            code blocks, kept line by line as written
//   "| a | b |"      tables: a header row, a "|---|" row, then rows; each row
//                    becomes an indented entry tagged with its first cell
//   inline: `code`, **bold**, *italic*, [text](target) (the text; a web
//   address is kept after it), and "\" before punctuation for the mark
//   itself.
// Anything else is text. Every character outside ASCII becomes a groff
// escape, so the page needs no input encoding.
#pragma once

#include <string>
#include <string_view>

namespace tabrix::man {

// The .TH line: "TABRIX 1 "" "tabrix 0.9.0" "User Commands"" and so on
// (no date, so the same sources make the same page).
std::string TitleLine(std::string_view name, std::string_view section, std::string_view source,
                      std::string_view manual);

// `markdown` as man(7) requests and text. Raises std::runtime_error naming
// the line for a code block that is never closed or a table row whose cells
// do not match its header.
std::string MarkdownToRoff(std::string_view markdown);

// One line of inline markdown as roff text (escapes and font changes).
std::string InlineToRoff(std::string_view text);

// The text of inline markdown without its marks: what a heading reads as.
std::string PlainText(std::string_view text);

}  // namespace tabrix::man
