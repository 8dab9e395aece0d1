#include "Listing.h"

namespace tamberlo::standin {

namespace {

std::string Centred(std::string_view text) {
    const std::size_t pad = text.size() < Listing::LineSize ? (Listing::LineSize - text.size()) / 2 : 0;
    return std::string(pad, ' ') + std::string(text);
}

}  // namespace

Listing::Listing() : titles_{std::string(DefaultTitle)} {}

void Listing::SetTitle(int number, std::string text) {
    if (number < 1 || number > MaxTitles) return;
    titles_.resize(static_cast<std::size_t>(number));
    titles_.back() = std::move(text);
}

void Listing::ClearTitles(int number) {
    if (number <= 1) {
        titles_.assign(1, std::string(DefaultTitle));
    } else if (number <= MaxTitles && titles_.size() >= static_cast<std::size_t>(number)) {
        titles_.resize(static_cast<std::size_t>(number - 1));
    }
}

void Listing::BeginStep() { pageWanted_ = true; }

void Listing::Put(std::string_view line) {
    if (pageWanted_ || linesOnPage_ >= PageLines) StartPage();
    text_ += line;
    text_ += "\r\n";
    ++linesOnPage_;
}

std::string Listing::HeaderLine(std::string_view title, int page) {
    std::string line = Centred(title);
    const std::string number = std::to_string(page);
    // The page number ends one column past the centred area, at least one
    // blank after the title.
    const std::size_t end = LineSize + 1;
    const std::size_t fill = line.size() + number.size() < end ? end - line.size() - number.size() : 1;
    line.append(fill, ' ');
    return line + number;
}

void Listing::StartPage() {
    ++page_;
    pageWanted_ = false;
    text_ += '\f';
    text_ += HeaderLine(titles_.front(), page_);
    text_ += "\r\n";
    for (std::size_t i = 1; i < titles_.size(); ++i) {
        text_ += titles_[i].empty() ? std::string() : Centred(titles_[i]);
        text_ += "\r\n";
    }
    text_ += "\r\n";
    linesOnPage_ = static_cast<int>(titles_.size()) + 1;
}

}  // namespace tamberlo::standin
