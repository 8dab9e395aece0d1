#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::standin {

// The listing (print file), kept in memory. Pages of PageLines lines, each
// starting with a form feed and the header: title 1 centred in LineSize
// columns with the page number right-aligned at the end, titles 2 and up
// centred below it, then one empty line. Lines end in "\r\n". Each data step
// that prints starts on a new page.
class Listing {
public:
    static constexpr int PageLines = 60;
    static constexpr int LineSize = 80;
    static constexpr int MaxTitles = 10;
    static constexpr std::string_view DefaultTitle = "The SAS System";

    Listing();

    // TITLEn: sets title `number` (1..MaxTitles) and clears the higher ones.
    void SetTitle(int number, std::string text);
    // TITLEn with no text: clears title `number` and the higher ones; title 1
    // goes back to the default.
    void ClearTitles(int number);

    // The next printed line starts a new page.
    void BeginStep();
    void Put(std::string_view line);

    bool Empty() const { return text_.empty(); }
    const std::string& Text() const { return text_; }

    // The first header line without its form feed.
    static std::string HeaderLine(std::string_view title, int page);

private:
    void StartPage();

    std::vector<std::string> titles_;
    std::string text_;
    int page_ = 0;
    int linesOnPage_ = 0;
    bool pageWanted_ = true;
};

}  // namespace tamberlo::standin
