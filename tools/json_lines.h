// One JSON object per output line, for the test driver that reads what the
// automation and spooler programs see. Texts arrive as UTF-16 or as ANSI
// (the active code page) and leave as UTF-8.
#ifndef TOOLS_JSON_LINES_H
#define TOOLS_JSON_LINES_H

#include <windows.h>

#include <stdio.h>
#include <string>

class JsonLine
{
  public:
    JsonLine() : text_("{") {}

    JsonLine &text(const char *key, const wchar_t *value)
    {
        name(key);
        quote(utf8(value));
        return *this;
    }

    JsonLine &ansi(const char *key, const char *value)
    {
        if (value == NULL)
            return null(key);
        int length = MultiByteToWideChar(CP_ACP, 0, value, -1, NULL, 0);
        std::wstring wide(length > 0 ? length : 1, L'\0');
        if (length > 0)
            MultiByteToWideChar(CP_ACP, 0, value, -1, &wide[0], length);
        return text(key, wide.c_str());
    }

    JsonLine &number(const char *key, long long value)
    {
        char digits[32];
        name(key);
        snprintf(digits, sizeof digits, "%lld", value);
        text_ += digits;
        return *this;
    }

    JsonLine &boolean(const char *key, bool value)
    {
        name(key);
        text_ += value ? "true" : "false";
        return *this;
    }

    JsonLine &null(const char *key)
    {
        name(key);
        text_ += "null";
        return *this;
    }

    // A value that is itself JSON (an array or object built by the caller).
    JsonLine &raw(const char *key, const std::string &json)
    {
        name(key);
        text_ += json;
        return *this;
    }

    const std::string &str()
    {
        return text_;
    }

    // Closes the object and writes it as one line, at once.
    void print()
    {
        text_ += "}\n";
        fputs(text_.c_str(), stdout);
        fflush(stdout);
    }

    static std::string utf8(const wchar_t *value)
    {
        int length = WideCharToMultiByte(CP_UTF8, 0, value, -1, NULL, 0, NULL, NULL);
        if (length <= 1)
            return std::string();
        std::string bytes(length, '\0');
        WideCharToMultiByte(CP_UTF8, 0, value, -1, &bytes[0], length, NULL, NULL);
        bytes.resize(length - 1);
        return bytes;
    }

    static std::string quoted(const std::string &value)
    {
        std::string out = "\"";
        for (unsigned char c : value) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += (char)c;
            } else if (c < 0x20) {
                char escape[8];
                snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += (char)c;
            }
        }
        return out + "\"";
    }

  private:
    void name(const char *key)
    {
        if (text_.size() > 1)
            text_ += ",";
        quote(key);
        text_ += ":";
    }

    void quote(const std::string &value)
    {
        text_ += quoted(value);
    }

    std::string text_;
};

#endif
