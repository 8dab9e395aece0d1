#include "Session.h"

#include "Listing.h"
#include "Log.h"
#include "Macros.h"
#include "TextFile.h"

#include <cstdlib>
#include <utility>

namespace tamberlo::standin {

namespace {

constexpr std::string_view NotValid = "ERROR 180-322: Statement is not valid or it is used out of proper order.";

bool IsWord(const Token& token, std::string_view upperWord) {
    return token.kind == TokenKind::Word && Filerefs::Upper(token.text) == upperWord;
}

bool IsSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.text.size() == 1 && token.text[0] == symbol;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// The statement's text after its first `count` tokens, trimmed.
std::string TextAfter(const Statement& statement, std::size_t count) {
    if (count == 0) return Trimmed(statement.text);
    const Token& last = statement.tokens[count - 1];
    return Trimmed(std::string_view(statement.text).substr(last.offset + last.text.size()));
}

// TITLE is title 1; TITLE1 .. TITLE10 are the numbered titles. 0 if the
// keyword is no title statement.
int TitleNumber(const std::string& keyword) {
    if (keyword.rfind("TITLE", 0) != 0) return 0;
    const std::string digits = keyword.substr(5);
    if (digits.empty()) return 1;
    if (digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const int number = std::atoi(digits.c_str());
    return number >= 1 && number <= Listing::MaxTitles ? number : 0;
}

}  // namespace

Session::Session(Log& log, Listing& listing, Macros& macros, bool source2)
    : log_(log), listing_(listing), macros_(macros), source2_(source2) {}

void Session::Run(std::string_view program, bool echo) {
    echo_ = echo;
    echoed_ = 0;
    lines_ = StatementReader::Lines(program);
    if (!RunStatements(program)) {
        // ENDSAS: an open step is dropped, not run.
        data_.reset();
        step_ = Step::None;
        return;
    }
    FinishStep();
}

bool Session::RunStatements(std::string_view text) {
    for (const Statement& statement : StatementReader::Read(text)) {
        if (!Process(statement) || abortCode_) return false;
    }
    EchoThrough(static_cast<int>(lines_.size()));
    return true;
}

bool Session::Process(const Statement& statement) {
    const Token& first = statement.tokens.front();
    if (!statement.terminated) {
        Accept(statement);
        log_.Warning(statement.unclosedString
                         ? "WARNING: The program ended inside a quoted string; its last statement was not run."
                         : "WARNING: The last statement of the program has no semicolon; it was not run.");
        return true;
    }
    const bool comment = IsSymbol(first, '*') ||
                         (IsSymbol(first, '%') && statement.tokens.size() > 1 && IsSymbol(statement.tokens[1], '*'));
    if (comment) {
        Accept(statement);
        return true;
    }

    const std::string keyword = first.kind == TokenKind::Word ? Filerefs::Upper(first.text) : std::string();
    if (keyword == "ENDSAS") {
        Accept(statement);
        return false;
    }
    if (keyword == "RUN" || keyword == "QUIT") {
        Accept(statement);
        FinishStep();
    } else if (keyword == "DATA") {
        BeginData(statement);
    } else if (keyword == "PROC") {
        BeginProc(statement);
    } else if (Global(statement, keyword)) {
        // done
    } else if (step_ == Step::Proc) {
        // The statements of a procedure that does not exist are skipped.
        Accept(statement);
    } else if (step_ == Step::Data) {
        StepStatement(statement, keyword);
    } else {
        RejectStatement(statement);
    }
    return !ended_;
}

void Session::Accept(const Statement& statement) { EchoThrough(statement.lastLine); }

void Session::Reject(const Statement& statement, const Token& at, int code, std::string_view message) {
    EchoThrough(at.line);
    log_.Marker(at.column, at.text.size(), code);
    EchoThrough(statement.lastLine);
    log_.Error(message);
}

void Session::RejectStatement(const Statement& statement) {
    Reject(statement, statement.tokens.front(), 180, NotValid);
}

void Session::EchoThrough(int line) {
    const int last = line < static_cast<int>(lines_.size()) ? line : static_cast<int>(lines_.size());
    while (echoed_ < last) {
        ++echoed_;
        if (!echo_) continue;
        const std::string& line = lines_[static_cast<std::size_t>(echoed_ - 1)];
        if (includeLevel_ == 0) {
            log_.Source(++logNumber_, line);
        } else if (source2_) {
            log_.IncludedSource(++logNumber_, line);
        }
    }
}

void Session::FinishStep() {
    if (step_ == Step::Data) {
        data_->Finish(log_, listing_, filerefs_);
        abortCode_ = data_->AbortCode();
        data_.reset();
    } else if (step_ == Step::Proc) {
        log_.Line("NOTE: The SAS System stopped processing this step because of errors.");
        log_.Line("NOTE: PROCEDURE " + procName_ + " used (Total process time):");
        log_.Times(*procClock_);
        log_.Line("");
        procClock_.reset();
    }
    step_ = Step::None;
}

void Session::BeginData(const Statement& statement) {
    Accept(statement);
    FinishStep();
    step_ = Step::Data;
    data_.emplace();
    // DATA _NULL_, optionally followed by "/ options"; steps that would
    // create data sets are not part of the subset.
    const auto& tokens = statement.tokens;
    const bool null =
        tokens.size() >= 2 && IsWord(tokens[1], "_NULL_") && (tokens.size() == 2 || IsSymbol(tokens[2], '/'));
    if (!null) {
        log_.Error("ERROR: Only DATA _NULL_ steps are supported; this step creates a data set and was not run.");
        data_->Fail();
    }
}

void Session::BeginProc(const Statement& statement) {
    if (statement.tokens.size() < 2 || statement.tokens[1].kind != TokenKind::Word) {
        RejectStatement(statement);
        return;
    }
    Accept(statement);
    FinishStep();
    step_ = Step::Proc;
    procName_ = Filerefs::Upper(statement.tokens[1].text);
    procClock_.emplace();
    log_.Error("ERROR: Procedure " + procName_ + " not found.");
}

bool Session::Global(const Statement& statement, const std::string& keyword) {
    if (keyword == "OPTIONS") {
        Options(statement);
    } else if (keyword == "%INCLUDE") {
        Include(statement);
    } else if (const int title = TitleNumber(keyword); title != 0) {
        Title(statement, title);
    } else if (keyword == "FILENAME") {
        Filename(statement);
    } else if (keyword == "%PUT") {
        MacroPut(statement);
    } else if (keyword == "%LET") {
        Accept(statement);
        macros_.Let(statement.text, log_);
    } else {
        return false;
    }
    return true;
}

void Session::Options(const Statement& statement) {
    Accept(statement);
    for (const Token& token : statement.tokens) {
        if (IsWord(token, "SOURCE2")) source2_ = true;
        if (IsWord(token, "NOSOURCE2")) source2_ = false;
    }
}

void Session::Include(const Statement& statement) {
    constexpr int maximumLevel = 10;
    Accept(statement);
    const auto& tokens = statement.tokens;
    if (tokens.size() != 2 || tokens[1].kind != TokenKind::String) {
        log_.Error("ERROR: %INCLUDE takes one quoted file name here.");
        return;
    }
    // A double-quoted name resolves its macro references, as in SAS.
    const std::string path = tokens[1].text[0] == '"' ? macros_.Resolve(tokens[1].value, log_) : tokens[1].value;
    const std::optional<std::string> text = includeLevel_ < maximumLevel ? TextFile::Read(path) : std::nullopt;
    if (!text) {
        log_.Error("ERROR: Cannot open %INCLUDE file " + path + ".");
        return;
    }
    const std::string level = std::to_string(includeLevel_ + 1);
    if (source2_) log_.Line("NOTE: %INCLUDE (level " + level + ") file " + path + " is file " + path + ".");
    std::vector<std::string> including = std::exchange(lines_, StatementReader::Lines(*text));
    const int echoed = std::exchange(echoed_, 0);
    ++includeLevel_;
    const bool goesOn = RunStatements(*text);
    --includeLevel_;
    lines_ = std::move(including);
    echoed_ = echoed;
    if (goesOn && source2_) log_.Line("NOTE: %INCLUDE (level " + level + ") ending.");
    ended_ = !goesOn;
}

void Session::Title(const Statement& statement, int number) {
    Accept(statement);
    const auto& tokens = statement.tokens;
    if (tokens.size() == 1) {
        listing_.ClearTitles(number);
        return;
    }
    bool quoted = true;
    std::string text;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::String) {
            quoted = false;
            break;
        }
        if (i > 1) text += ' ';
        text += tokens[i].value;
    }
    listing_.SetTitle(number, quoted ? text : TextAfter(statement, 1));
}

void Session::Filename(const Statement& statement) {
    const auto& tokens = statement.tokens;
    if (tokens.size() < 2) {
        Reject(statement, tokens[0], 22, "ERROR 22-322: Syntax error, expecting one of the following: a name.");
        return;
    }
    const Token& name = tokens[1];
    if (name.kind != TokenKind::Word || !Filerefs::IsValidName(name.text)) {
        Accept(statement);
        log_.Error("ERROR: Invalid fileref name " + name.text + ".");
        return;
    }
    const std::string ref = Filerefs::Upper(name.text);
    if (tokens.size() == 2 || (tokens.size() == 3 && IsWord(tokens[2], "CLEAR"))) {
        Accept(statement);
        if (filerefs_.Clear(ref)) {
            log_.Line("NOTE: Fileref " + ref + " has been deassigned.");
        } else {
            log_.Warning("WARNING: No logical assign for filename " + ref + ".");
        }
        return;
    }
    if (tokens[2].kind != TokenKind::String) {
        Reject(statement, tokens[2], 22,
               "ERROR 22-322: Syntax error, expecting one of the following: a quoted string, CLEAR.");
        return;
    }
    Filerefs::Fileref fileref{tokens[2].value, false};
    for (std::size_t i = 3; i < tokens.size(); ++i) {
        if (IsWord(tokens[i], "MOD")) {
            fileref.append = true;
        } else if (tokens[i].kind == TokenKind::Word) {
            Reject(statement, tokens[i], 23,
                   "ERROR 23-2: Invalid option name " + Filerefs::Upper(tokens[i].text) + ".");
            return;
        } else {
            Reject(statement, tokens[i], 22, "ERROR 22-322: Syntax error, expecting one of the following: ;, MOD.");
            return;
        }
    }
    Accept(statement);
    filerefs_.Assign(ref, std::move(fileref));
}

void Session::MacroPut(const Statement& statement) {
    Accept(statement);
    log_.Line(macros_.Resolve(TextAfter(statement, 1), log_));
}

void Session::StepStatement(const Statement& statement, const std::string& keyword) {
    if (keyword == "FILE") {
        File(statement);
    } else if (keyword == "PUT") {
        Put(statement);
    } else if (keyword == "CALL") {
        Call(statement);
    } else if (keyword == "ABORT") {
        Abort(statement);
    } else {
        RejectStatement(statement);
        data_->Fail();
    }
}

void Session::File(const Statement& statement) {
    const auto& tokens = statement.tokens;
    if (tokens.size() < 2 || (tokens[1].kind != TokenKind::Word && tokens[1].kind != TokenKind::String)) {
        const Token& at = tokens.size() < 2 ? tokens[0] : tokens[1];
        Reject(statement, at, 22,
               "ERROR 22-322: Syntax error, expecting one of the following: a name, a quoted string.");
        data_->Fail();
        return;
    }
    Accept(statement);
    using Kind = DataStep::Destination::Kind;
    DataStep::Destination destination;
    if (tokens[1].kind == TokenKind::String) {
        destination.kind = Kind::Path;
        destination.name = tokens[1].value;
    } else {
        destination.name = Filerefs::Upper(tokens[1].text);
        destination.kind = destination.name == "PRINT" ? Kind::Print
                           : destination.name == "LOG" ? Kind::Log
                                                       : Kind::Fileref;
    }
    // Of the FILE options only MOD changes anything here; the others
    // (NOTITLES, LRECL= ...) are accepted and ignored.
    for (std::size_t i = 2; i < tokens.size(); ++i) {
        if (IsWord(tokens[i], "MOD")) destination.append = true;
    }
    data_->SelectFile(std::move(destination));
}

void Session::Put(const Statement& statement) {
    const auto& tokens = statement.tokens;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::Symbol) {
            Reject(statement, tokens[i], 22,
                   "ERROR 22-322: Syntax error, expecting one of the following: a name, a quoted string, "
                   "a numeric constant.");
            data_->Fail();
            return;
        }
    }
    Accept(statement);
    std::string line;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (i > 1) line += ' ';
        const Token& item = tokens[i];
        if (item.kind == TokenKind::String && item.text[0] == '"') {
            line += macros_.Resolve(item.value, log_);
        } else if (item.kind != TokenKind::Word) {
            line += item.value;
        } else if (IsWord(item, "_N_")) {
            line += '1';
        } else if (IsWord(item, "_ERROR_")) {
            line += '0';
        } else {
            // No statement here sets variables: any other name is missing.
            line += '.';
            data_->ReadUninitialized(item.text);
        }
    }
    data_->Put(std::move(line));
}

void Session::Call(const Statement& statement) {
    // CALL SLEEP(n) or CALL SLEEP(n, unit): n * unit seconds, unit 1 if
    // omitted.
    const auto& t = statement.tokens;
    const bool shape =
        t.size() >= 5 && IsWord(t[1], "SLEEP") && IsSymbol(t[2], '(') && t[3].kind == TokenKind::Number &&
        ((t.size() == 5 && IsSymbol(t[4], ')')) ||
         (t.size() == 7 && IsSymbol(t[4], ',') && t[5].kind == TokenKind::Number && IsSymbol(t[6], ')')));
    if (!shape) {
        RejectStatement(statement);
        data_->Fail();
        return;
    }
    Accept(statement);
    const double count = std::strtod(t[3].text.c_str(), nullptr);
    const double unit = t.size() == 7 ? std::strtod(t[5].text.c_str(), nullptr) : 1.0;
    data_->Sleep(count * unit);
}

void Session::Abort(const Statement& statement) {
    // ABORT;             exit code 3
    // ABORT RETURN [n];  4, or n
    // ABORT ABEND [n];   5, or n
    const auto& t = statement.tokens;
    std::string form = "ABORT";
    int code = 3;
    std::size_t next = 1;
    if (next < t.size() && (IsWord(t[next], "RETURN") || IsWord(t[next], "ABEND"))) {
        const bool abend = IsWord(t[next], "ABEND");
        form += abend ? " ABEND" : " RETURN";
        code = abend ? 5 : 4;
        ++next;
        if (next < t.size() && t[next].kind == TokenKind::Number &&
            t[next].text.find_first_not_of("0123456789") == std::string::npos && t[next].text.size() <= 9) {
            code = std::atoi(t[next].text.c_str());
            ++next;
        }
    }
    if (next != t.size()) {
        Reject(statement, t[next], 22, "ERROR 22-322: Syntax error, expecting one of the following: ;, ABEND, RETURN.");
        data_->Fail();
        return;
    }
    Accept(statement);
    data_->Abort("ERROR: Execution terminated by an " + form + " statement at line " + std::to_string(t[0].line) +
                     " column " + std::to_string(t[0].column + 1) + "; SAS ends with exit code " +
                     std::to_string(code) + ".",
                 code);
}

}  // namespace tamberlo::standin
