#pragma once

#include <concepts>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// A count or a code written as decimal digits (not a character or a bool).
template <typename T>
concept MarkupNumber = std::integral<T> && !std::same_as<T, char> && !std::same_as<T, bool>;

// Writes an HTML or XML document to a stream, element by element. Every
// text and attribute value it is handed is UTF-8 and is escaped as the
// reports escape text (report_text::AppendXml), so that nothing a log, a
// name or a path holds can become markup:
//   MarkupWriter html(out, MarkupWriter::Dialect::Html);
//   html.Open("td").Attribute("class", "num").Text(name).Close();  // <td class="num">a&lt;b</td>
// A start tag stays open for attributes until the element gets content or
// is closed. Elements are closed innermost first.
class MarkupWriter {
public:
    // HTML: an empty element is a void one (<br>), an attribute value keeps
    // its line breaks as they are. XML: <br/>, line breaks in an attribute
    // value as character references (a parser would turn them into spaces).
    enum class Dialect { Html, Xml };

    MarkupWriter(std::ostream& out, Dialect dialect) : out_(out), dialect_(dialect) {}
    MarkupWriter(const MarkupWriter&) = delete;
    MarkupWriter& operator=(const MarkupWriter&) = delete;

    // <name ...> ... </name> once closed.
    MarkupWriter& Open(std::string_view name);
    // <name ...> without content or end tag (<name .../> in XML).
    MarkupWriter& Empty(std::string_view name);
    // name="value" on the start tag just opened.
    MarkupWriter& Attribute(std::string_view name, std::string_view value);
    MarkupWriter& Attribute(std::string_view name, MarkupNumber auto value) {
        return Attribute(name, std::to_string(value));
    }
    // An HTML boolean attribute: " checked".
    MarkupWriter& Attribute(std::string_view name);
    MarkupWriter& Text(std::string_view text);
    MarkupWriter& Text(MarkupNumber auto number) { return Text(std::string_view(std::to_string(number))); }
    // Closes the innermost open element.
    MarkupWriter& Close();

    // Markup that is part of the program itself (a declaration, the page's
    // style and script), written as it is: only a constant array, never a
    // text that came from outside.
    template <std::size_t N>
    MarkupWriter& Verbatim(const char (&markup)[N]) {
        EndStartTag();
        out_.write(markup, static_cast<std::streamsize>(N - 1));
        return *this;
    }

private:
    void EndStartTag();
    void Escaped(std::string_view text, bool attribute);

    enum class StartTag { None, Open, Empty };

    std::ostream& out_;
    Dialect dialect_;
    StartTag startTag_ = StartTag::None;
    std::vector<std::string> open_;
    std::string escaped_;
};

}  // namespace tamberlo::cli
