// winsim: the NT command interpreter "cmd.exe /c" as a replaced program
// runs it, for the few commands a clean-up line uses: "del", "if exist",
// "for /L", "ping" as a pause, "&" and "( )". Anything else is reported as
// not modelled, so that no test passes on a command this model cannot run.
#include "machine_state.h"
#include "paths.h"
#include "user_interface_state.h"

#include <winsim/registry.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Token {
    std::string text;
    bool special; // "&", "(" or ")" outside quotes
};

// Splits the line as cmd does: blanks separate words, quotes group a word
// (and are dropped from it), "&", "(" and ")" stand alone outside quotes.
std::vector<Token> tokens_of(const std::string &line)
{
    std::vector<Token> tokens;
    std::string word;
    bool quoted = false;
    bool in_word = false;
    auto end_word = [&] {
        if (in_word)
            tokens.push_back({word, false});
        word.clear();
        in_word = false;
    };
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            end_word();
        } else if (!quoted && (c == '&' || c == '(' || c == ')')) {
            end_word();
            tokens.push_back({std::string(1, c), true});
        } else {
            word += c;
            in_word = true;
        }
    }
    end_word();
    return tokens;
}

bool is(const std::vector<Token> &tokens, size_t at, const char *special)
{
    return at < tokens.size() && tokens[at].special && tokens[at].text == special;
}

bool is_word(const std::vector<Token> &tokens, size_t at, const char *word)
{
    return at < tokens.size() && !tokens[at].special && winsim::same_name(tokens[at].text, word);
}

// NT 3.51's interpreter has no command extensions; a later one has them
// unless EnableExtensions (a DWORD) is 0, the user's value before the
// machine's.
bool extensions_enabled()
{
    if (winsim::machine().version.major < 4)
        return false;
    for (const char *root : {"HKCU", "HKLM"}) {
        auto value = winsim::registry_value(
            std::string(root) + "\\Software\\Microsoft\\Command Processor", "EnableExtensions");
        if (value && value->type == REG_DWORD && value->data.size() == sizeof(DWORD))
            return value->data != std::string(sizeof(DWORD), '\0');
    }
    return true;
}

class Interpreter {
  public:
    explicit Interpreter(const std::string &line)
        : tokens_(tokens_of(line)), extensions_(extensions_enabled())
    {
    }

    // cmd parses the whole line before it runs any of it: a syntax error
    // anywhere ("... was unexpected at this time.") runs nothing.
    void run()
    {
        size_t end = run_list(0, false);
        if (end < tokens_.size())
            unknown("a \")\" without \"(\"");
        if (!refused_)
            run_list(0, true);
    }

  private:
    // Commands joined by "&", up to a ")" or the end; the index after them.
    size_t run_list(size_t at, bool execute)
    {
        at = run_command(at, execute);
        while (is(tokens_, at, "&"))
            at = run_command(at + 1, execute);
        return at;
    }

    // The body of "if" and "for": a group, or the rest of the line.
    size_t run_body(size_t at, bool execute)
    {
        if (is(tokens_, at, "(")) {
            at = run_list(at + 1, execute);
            if (!is(tokens_, at, ")"))
                unknown("a \"(\" without \")\"");
            return at + 1;
        }
        return run_list(at, execute);
    }

    size_t run_command(size_t at, bool execute)
    {
        if (is(tokens_, at, "("))
            return run_body(at, execute);
        if (is_word(tokens_, at, "if"))
            return run_if(at + 1, execute);
        if (is_word(tokens_, at, "for"))
            return run_for(at + 1, execute);
        size_t end = at;
        std::vector<std::string> words;
        while (end < tokens_.size() && !tokens_[end].special) {
            // Redirections send the output nowhere that matters here.
            if (tokens_[end].text.find('>') == std::string::npos)
                words.push_back(tokens_[end].text);
            end++;
        }
        if (execute)
            run_simple(words);
        return end;
    }

    size_t run_if(size_t at, bool execute)
    {
        if (!is_word(tokens_, at, "exist") || at + 1 >= tokens_.size()) {
            unknown("if without exist");
            return tokens_.size();
        }
        winsim::ResolvedPath path = winsim::resolve_path(tokens_[at + 1].text.c_str());
        return run_body(at + 2, execute && path.exists);
    }

    // for /L %X in (start,step,end) do BODY
    size_t run_for(size_t at, bool execute)
    {
        // Syntax errors of cmd: without extensions "for" takes no switch
        // ("/L was unexpected at this time."); on a /c line the variable is
        // "%X", and "%%X", a batch file's spelling, is unexpected there.
        bool has_switch = at < tokens_.size() && tokens_[at].text[0] == '/';
        size_t variable = has_switch ? at + 1 : at;
        if ((has_switch && !extensions_) || variable >= tokens_.size() ||
            tokens_[variable].text.size() != 2 || tokens_[variable].text[0] != '%') {
            refused_ = true;
            return tokens_.size();
        }
        int start, step, end;
        if (!is_word(tokens_, at, "/L") || !is_word(tokens_, at + 2, "in") ||
            !is(tokens_, at + 3, "(") || !is(tokens_, at + 5, ")") ||
            !is_word(tokens_, at + 6, "do") ||
            std::sscanf(tokens_[at + 4].text.c_str(), "%d,%d,%d", &start, &step, &end) != 3 ||
            step == 0) {
            unknown("for other than for /L %X in (start,step,end) do");
            return tokens_.size();
        }
        size_t body = at + 7;
        size_t after = run_body(body, false);
        for (int i = start; execute && (step > 0 ? i <= end : i >= end); i += step)
            run_body(body, true);
        return after;
    }

    void run_simple(const std::vector<std::string> &words)
    {
        if (words.empty())
            return;
        if (winsim::same_name(words[0], "del")) {
            for (size_t i = 1; i < words.size(); i++)
                delete_file(words[i]);
        } else if (winsim::same_name(words[0], "ping") && words.size() == 4 && words[1] == "-n") {
            // ping waits a second between its echo requests.
            int count = std::atoi(words[2].c_str());
            if (count > 1)
                the_machine().clock_ms += 1000ull * static_cast<unsigned>(count - 1);
        } else {
            unknown(words[0]);
        }
    }

    // del goes on after a file it cannot delete, as cmd's does.
    void delete_file(const std::string &name)
    {
        winsim::ResolvedPath path = winsim::resolve_path(name.c_str());
        if (path.error != 0 || !path.exists || path.is_directory || winsim::is_read_only(path) ||
            winsim::is_open(path) || winsim::is_running_image(path))
            return;
        std::remove(path.host.c_str());
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        the_machine().attributes.erase(path.host);
    }

    void unknown(const std::string &what)
    {
        refused_ = true;
        winsim::record_script_failure("the command interpreter's model does not run: " + what);
    }

    using Machine = winsim::Machine;
    static Machine &the_machine()
    {
        return winsim::the_machine();
    }

    std::vector<Token> tokens_;
    bool extensions_;
    bool refused_ = false;
};

} // namespace

namespace winsim {

void run_command_interpreter(const std::string &command_line)
{
    Interpreter(command_line).run();
}

} // namespace winsim
