#pragma once

#include "host/SessionEncoding.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Text made safe for the reports, which are UTF-8 whatever the logs hold.
namespace tamberlo::cli::report_text {

// UTF-8 as XML (or HTML) character data, or an attribute value, always
// well-formed XML 1.0: markup characters become references; a control
// character XML cannot carry shows as "%<code>" (as CleanOutput shows it);
// bytes that are not UTF-8, a surrogate, U+FFFE and U+FFFF become U+FFFD. In
// an attribute, line breaks and tabs are kept as character references.
void AppendXml(std::string& out, std::string_view utf8, bool attribute = false);
std::string Xml(std::string_view utf8, bool attribute = false);

// UTF-8 as the inside of a JSON string: controls as escapes, bytes that are
// not UTF-8 and surrogates as U+FFFD.
void AppendJson(std::string& out, std::string_view utf8);

// Reads a text file of the session encoding in pieces that end at a line
// break where one is near, else between two characters (never inside a
// character, nor between the CR and LF of a line break), each
// decoded from `encoding` into UTF-8 (U+FFFD for a byte it does not hold),
// and hands them to `take`. A file that cannot be read gives one piece
// saying so. Memory stays at one piece.
// With `clean`, control characters show as CleanOutput shows them. With
// `bytes`, only the file's first `bytes` are read.
void ForEachPiece(const std::string& path, const SessionEncoding& encoding, bool clean,
                  const std::function<void(std::string_view utf8)>& take,
                  std::optional<std::uint64_t> bytes = std::nullopt);

// The most of a log or listing (in UTF-8) that a report embeds: the rest
// stays in the file, which a reader's page or a CI server need not take in.
constexpr std::size_t ShownBytes = 256 * 1024;

// As ForEachPiece (of the file's first `bytes`, when given), but the pieces
// end after at most ShownBytes in all: at the last line break within them,
// or, in a line that began before it and runs past them (a line of more than
// a piece, 64 KiB of the file), after the last whole character within them.
// Returns true when the text (of those first `bytes`) went on past what was
// handed on; it is then not read on.
bool ForEachShownPiece(const std::string& path, const SessionEncoding& encoding, bool clean,
                       const std::function<void(std::string_view utf8)>& take,
                       std::optional<std::uint64_t> bytes = std::nullopt);

}  // namespace tamberlo::cli::report_text
