// winsim: the dialog templates of the program's resource script, read when
// first needed so that the script stays the one source of truth. Only what
// the script uses is understood (DIALOG blocks of CONTROL statements); any
// other dialog statement stops the tests with a message rather than being
// dropped unnoticed.
#include <winsim/user.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#ifndef WINSIM_RESOURCE_SCRIPT
#error "winsim needs WINSIM_RESOURCE_SCRIPT, the path of the program's resource script"
#endif

namespace winsim
{

bool ControlTemplate::has_style(const std::string &style) const
{
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

bool DialogTemplate::has_style(const std::string &style) const
{
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

namespace
{

struct Token {
    enum Kind { word, string, comma, bar } kind;
    std::string text;
    int line;
};

[[noreturn]] void give_up(const std::string &file, int line, const std::string &what)
{
    std::fprintf(stderr, "winsim: %s:%d: %s\n", file.c_str(), line, what.c_str());
    std::abort();
}

std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        give_up(path, 0, "cannot read the file");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool parse_number(const std::string &text, int *value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    long number = std::strtol(text.c_str(), &end, 0);
    if (end == text.c_str())
        return false;
    if (*end == 'L' || *end == 'l')
        end++;
    if (*end != '\0')
        return false;
    *value = static_cast<int>(number);
    return true;
}

class ScriptReader
{
  public:
    explicit ScriptReader(const std::string &path) : path_(path)
    {
        // The SDK's names the script uses; windows.h itself is not read.
        names_["IDOK"] = IDOK;
        names_["IDCANCEL"] = IDCANCEL;
        std::string::size_type cut = path.find_last_of('/');
        directory_ = cut == std::string::npos ? std::string(".") : path.substr(0, cut);
        tokenize(file_text(path));
    }

    std::map<int, DialogTemplate> read()
    {
        std::map<int, DialogTemplate> dialogs;
        while (at_ < tokens_.size()) {
            const Token &first = next(Token::word, "a resource statement");
            if (first.text == "LANGUAGE") {
                next(Token::word, "a language");
                next(Token::comma, "','");
                next(Token::word, "a sublanguage");
                continue;
            }
            const Token &type = next(Token::word, "a resource type");
            int type_number;
            if (type.text == "DIALOG") {
                DialogTemplate dialog = read_dialog(resolve(first));
                dialogs[dialog.id] = dialog;
            } else if (type.text == "VERSIONINFO") {
                skip_block();
            } else if (type.text == "ICON" || parse_number(type.text, &type_number)) {
                next(Token::string, "a file name");
            } else {
                give_up(path_, type.line, "resource type " + type.text + " is not modelled");
            }
        }
        return dialogs;
    }

  private:
    void tokenize(const std::string &text)
    {
        std::vector<std::string> lines = lines_of(text);
        bool in_comment = false;
        for (size_t n = 0; n < lines.size(); n++) {
            const std::string &line = lines[n];
            int number = static_cast<int>(n + 1);
            size_t i = 0;
            if (!in_comment) {
                size_t start = line.find_first_not_of(" \t");
                if (start != std::string::npos && line[start] == '#') {
                    directive(line.substr(start), number);
                    continue;
                }
            }
            while (i < line.size()) {
                char c = line[i];
                if (in_comment) {
                    size_t close = line.find("*/", i);
                    if (close == std::string::npos)
                        break;
                    in_comment = false;
                    i = close + 2;
                } else if (line.compare(i, 2, "//") == 0) {
                    break;
                } else if (line.compare(i, 2, "/*") == 0) {
                    in_comment = true;
                    i += 2;
                } else if (c == ' ' || c == '\t') {
                    i++;
                } else if (c == ',') {
                    tokens_.push_back({Token::comma, ",", number});
                    i++;
                } else if (c == '|') {
                    tokens_.push_back({Token::bar, "|", number});
                    i++;
                } else if (c == '"') {
                    tokens_.push_back({Token::string, quoted_text(line, &i, number), number});
                } else {
                    size_t end = line.find_first_of(" \t,|\"", i);
                    if (end == std::string::npos)
                        end = line.size();
                    tokens_.push_back({Token::word, line.substr(i, end - i), number});
                    i = end;
                }
            }
        }
    }

    // A string of the resource compiler: "" stands for one quote, and the
    // C escapes \\, \", \n and \t apply.
    std::string quoted_text(const std::string &line, size_t *i, int number)
    {
        std::string text;
        size_t at = *i + 1;
        for (;;) {
            if (at >= line.size())
                give_up(path_, number, "string without its closing quote");
            char c = line[at];
            if (c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
                text += '"';
                at += 2;
            } else if (c == '"') {
                *i = at + 1;
                return text;
            } else if (c == '\\' && at + 1 < line.size()) {
                char e = line[at + 1];
                text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                at += 2;
            } else {
                text += c;
                at++;
            }
        }
    }

    // #include "file" takes the file's #define lines; the SDK's headers
    // (#include <...>) give only the names built in above.
    void directive(const std::string &line, int number)
    {
        std::istringstream words(line);
        std::string keyword, argument;
        words >> keyword >> argument;
        if (keyword == "#include" && argument.size() > 2 && argument.front() == '"') {
            read_defines(directory_ + "/" + argument.substr(1, argument.size() - 2));
        } else if (keyword == "#define") {
            std::string value;
            words >> value;
            define(argument, value);
        } else if (keyword != "#include") {
            give_up(path_, number, "directive " + keyword + " is not modelled");
        }
    }

    void read_defines(const std::string &header)
    {
        for (const std::string &line : lines_of(file_text(header))) {
            std::istringstream words(line);
            std::string keyword, name, value;
            words >> keyword >> name >> value;
            if (keyword == "#define")
                define(name, value);
        }
    }

    void define(const std::string &name, const std::string &value)
    {
        int number;
        if (parse_number(value, &number))
            names_[name] = number;
    }

    int resolve(const Token &token)
    {
        int number;
        if (parse_number(token.text, &number))
            return number;
        auto found = names_.find(token.text);
        if (found == names_.end())
            give_up(path_, token.line, "unknown name " + token.text);
        return found->second;
    }

    const Token &next(Token::Kind kind, const char *what)
    {
        if (at_ >= tokens_.size())
            give_up(path_, tokens_.empty() ? 0 : tokens_.back().line,
                    std::string("script ends where ") + what + " belongs");
        const Token &token = tokens_[at_];
        if (token.kind != kind)
            give_up(path_, token.line, std::string("expected ") + what + ", found " + token.text);
        at_++;
        return token;
    }

    bool next_is(Token::Kind kind, const char *text = nullptr) const
    {
        return at_ < tokens_.size() && tokens_[at_].kind == kind &&
               (text == nullptr || tokens_[at_].text == text);
    }

    // Style names joined by |, as written.
    std::vector<std::string> read_styles()
    {
        std::vector<std::string> styles;
        for (;;) {
            std::string style = next(Token::word, "a style").text;
            if (style == "NOT")
                style += " " + next(Token::word, "a style").text;
            styles.push_back(style);
            if (!next_is(Token::bar))
                return styles;
            at_++;
        }
    }

    void read_numbers(int count)
    {
        for (int i = 0; i < count; i++) {
            if (i > 0)
                next(Token::comma, "','");
            const Token &number = next(Token::word, "a number");
            int value;
            if (!parse_number(number.text, &value))
                give_up(path_, number.line, "expected a number, found " + number.text);
        }
    }

    DialogTemplate read_dialog(int id)
    {
        DialogTemplate dialog;
        dialog.id = id;
        read_numbers(4);
        for (;;) {
            const Token &option = next(Token::word, "a dialog option or BEGIN");
            if (option.text == "BEGIN" || option.text == "{")
                break;
            if (option.text == "STYLE") {
                dialog.styles = read_styles();
            } else if (option.text == "EXSTYLE") {
                read_styles();
            } else if (option.text == "CAPTION") {
                dialog.caption = next(Token::string, "the caption").text;
            } else if (option.text == "FONT") {
                read_numbers(1);
                next(Token::comma, "','");
                next(Token::string, "the font name");
            } else {
                give_up(path_, option.line, "dialog option " + option.text + " is not modelled");
            }
        }
        for (;;) {
            const Token &statement = next(Token::word, "CONTROL or END");
            if (statement.text == "END" || statement.text == "}")
                return dialog;
            if (statement.text != "CONTROL")
                give_up(path_, statement.line,
                        "dialog statement " + statement.text + " is not modelled");
            ControlTemplate control;
            control.text = next(Token::string, "the control's text").text;
            next(Token::comma, "','");
            control.id = resolve(next(Token::word, "the control's id"));
            next(Token::comma, "','");
            control.class_name = next(Token::string, "the control's class").text;
            next(Token::comma, "','");
            control.styles = read_styles();
            next(Token::comma, "','");
            read_numbers(4);
            if (next_is(Token::comma)) {
                next(Token::comma, "','");
                read_styles();
            }
            dialog.controls.push_back(control);
        }
    }

    // A block of BEGIN and END (or braces), nested, after its header lines.
    void skip_block()
    {
        while (at_ < tokens_.size() && !next_is(Token::word, "BEGIN") && !next_is(Token::word, "{"))
            at_++;
        int depth = 0;
        do {
            if (at_ >= tokens_.size())
                give_up(path_, tokens_.empty() ? 0 : tokens_.back().line, "block without END");
            const Token &token = tokens_[at_++];
            if (token.kind == Token::word && (token.text == "BEGIN" || token.text == "{"))
                depth++;
            if (token.kind == Token::word && (token.text == "END" || token.text == "}"))
                depth--;
        } while (depth > 0);
    }

    std::string path_;
    std::string directory_;
    std::map<std::string, int> names_;
    std::vector<Token> tokens_;
    size_t at_ = 0;
};

} // namespace

const DialogTemplate *dialog_template(int id)
{
    static const std::map<int, DialogTemplate> templates =
        ScriptReader(WINSIM_RESOURCE_SCRIPT).read();
    auto found = templates.find(id);
    return found == templates.end() ? nullptr : &found->second;
}

} // namespace winsim
