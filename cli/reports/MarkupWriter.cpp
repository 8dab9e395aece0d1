#include "cli/reports/MarkupWriter.h"

#include "cli/reports/ReportText.h"

#include <cassert>

namespace tamberlo::cli {

MarkupWriter& MarkupWriter::Open(std::string_view name) {
    EndStartTag();
    out_ << '<' << name;
    open_.emplace_back(name);
    startTag_ = StartTag::Open;
    return *this;
}

MarkupWriter& MarkupWriter::Empty(std::string_view name) {
    EndStartTag();
    out_ << '<' << name;
    startTag_ = StartTag::Empty;
    return *this;
}

MarkupWriter& MarkupWriter::Attribute(std::string_view name, std::string_view value) {
    assert(startTag_ != StartTag::None && "an attribute belongs on a start tag");
    out_ << ' ' << name << "=\"";
    Escaped(value, dialect_ == Dialect::Xml);
    out_ << '"';
    return *this;
}

MarkupWriter& MarkupWriter::Attribute(std::string_view name) {
    assert(startTag_ != StartTag::None && "an attribute belongs on a start tag");
    out_ << ' ' << name;
    return *this;
}

MarkupWriter& MarkupWriter::Text(std::string_view text) {
    EndStartTag();
    Escaped(text, false);
    return *this;
}

MarkupWriter& MarkupWriter::Close() {
    assert(!open_.empty() && "no element is open");
    EndStartTag();
    out_ << "</" << open_.back() << '>';
    open_.pop_back();
    return *this;
}

void MarkupWriter::EndStartTag() {
    if (startTag_ == StartTag::Empty && dialect_ == Dialect::Xml) out_ << '/';
    if (startTag_ != StartTag::None) out_ << '>';
    startTag_ = StartTag::None;
}

void MarkupWriter::Escaped(std::string_view text, bool attribute) {
    escaped_.clear();
    report_text::AppendXml(escaped_, text, attribute);
    out_ << escaped_;
}

}  // namespace tamberlo::cli
