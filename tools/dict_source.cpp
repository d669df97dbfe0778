#include "dict_source.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace somnara::dict {

namespace {

constexpr std::string_view kCategoryPrefix = "分类：";
constexpr std::string_view kOpen = "【";
constexpr std::string_view kClose = "】";
constexpr std::string_view kAliasSeparator = "、";
constexpr std::u32string_view kPunctuation = U"，。、；：？！“”‘’（）《》—…·「」『』～";

// Decodes UTF-8; false on malformed input.
bool decode(std::string_view text, std::u32string &out)
{
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + static_cast<size_t>(k) >= text.size())
                return false;
            const auto cc = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

bool isAsciiAlnum(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string describe(char32_t c)
{
    std::ostringstream out;
    out << "U+" << std::hex << std::uppercase << static_cast<unsigned>(c);
    if (c >= 0x20 && c < 0x7F)
        out << " '" << static_cast<char>(c) << "'";
    return out.str();
}

std::vector<std::string> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string> parts;
    while (true) {
        const auto at = text.find(separator);
        parts.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + separator.size());
    }
}

class Parser
{
public:
    Parser(const Charset &charset, Result &result) : m_charset(charset), m_result(result) {}

    void parseFile(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            problem(file, 0, "cannot read the file");
            return;
        }
        std::string category;
        std::string line;
        int number = 0;
        bool inEntry = false;
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (number == 1 && line.starts_with("\xEF\xBB\xBF"))
                line.erase(0, 3);
            if (line.empty() || line.starts_with('#'))
                continue;
            if (category.empty()) {
                if (!line.starts_with(kCategoryPrefix) || line.size() == kCategoryPrefix.size()) {
                    problem(file, number, "the file must begin with 分类：<category>");
                    category = "?";
                    continue;
                }
                category = line.substr(kCategoryPrefix.size());
                continue;
            }
            if (line.starts_with(kOpen)) {
                finishEntry();
                inEntry = startEntry(file, number, category, line);
                continue;
            }
            if (!inEntry) {
                problem(file, number, "text outside an entry: an entry begins with 【topic】");
                continue;
            }
            checkText(file, number, line);
            m_entry.paragraphs.push_back(line);
        }
        finishEntry();
        if (category.empty())
            problem(file, number, "the file has no 分类： line and no entries");
    }

private:
    void problem(const std::string &file, int line, std::string message)
    {
        m_result.problems.push_back({file, line, std::move(message)});
    }

    bool startEntry(const std::string &file, int line, const std::string &category,
                    const std::string &text)
    {
        const auto close = text.find(kClose);
        if (close == std::string::npos) {
            problem(file, line, "the topic has no closing 】");
            return false;
        }
        m_entry = Entry{};
        m_entry.category = category;
        m_entry.file = file;
        m_entry.line = line;
        m_entry.topic = text.substr(kOpen.size(), close - kOpen.size());
        const std::string rest = text.substr(close + kClose.size());
        if (!rest.empty())
            m_entry.aliases = split(rest, kAliasSeparator);
        checkName(file, line, m_entry.topic, "topic");
        for (const auto &alias : m_entry.aliases)
            checkName(file, line, alias, "alias");
        m_open = true;
        return true;
    }

    void checkName(const std::string &file, int line, const std::string &name, const char *what)
    {
        if (name.empty()) {
            problem(file, line, std::string("empty ") + what);
            return;
        }
        std::u32string chars;
        if (!decode(name, chars)) {
            problem(file, line, std::string(what) + " \"" + name + "\" is not valid UTF-8");
            return;
        }
        if (chars.front() == ' ' || chars.back() == ' ' || chars.front() == U'\u3000'
            || chars.back() == U'\u3000') {
            problem(file, line, std::string(what) + " \"" + name + "\" has blanks around it");
            return;
        }
        for (const char32_t c : chars) {
            if (!isAsciiAlnum(c) && !m_charset.hanzi.contains(c)) {
                problem(file, line,
                        std::string(what) + " \"" + name + "\" holds a character not allowed in a topic: "
                            + describe(c));
                return;
            }
        }
        const auto [it, added] = m_names.emplace(name, file + ":" + std::to_string(line));
        if (!added)
            problem(file, line,
                    std::string("duplicate ") + what + " \"" + name + "\", first at " + it->second);
    }

    void checkText(const std::string &file, int line, const std::string &text)
    {
        std::u32string chars;
        if (!decode(text, chars)) {
            problem(file, line, "the text is not valid UTF-8");
            return;
        }
        for (const char32_t c : chars) {
            if (isAsciiAlnum(c) || m_charset.hanzi.contains(c) || m_charset.punctuation.contains(c))
                continue;
            if (c == ' ' || c == '\t' || c == U'\u3000')
                problem(file, line, "a blank inside the text");
            else if (c < 0x80)
                problem(file, line, "half-width punctuation " + describe(c)
                                        + " inside Chinese text: use the full-width mark");
            else
                problem(file, line, "character not allowed: " + describe(c)
                                        + " (simplified Chinese, full-width punctuation, "
                                          "digits and Latin letters only)");
            return;
        }
    }

    void finishEntry()
    {
        if (!m_open)
            return;
        m_open = false;
        size_t length = 0;
        std::u32string chars;
        for (const auto &paragraph : m_entry.paragraphs)
            length += decode(paragraph, chars) ? chars.size() : paragraph.size();
        if (m_entry.paragraphs.empty())
            problem(m_entry.file, m_entry.line,
                    "the interpretation of \"" + m_entry.topic + "\" is empty");
        else if (length < kMinimumLength || length > kMaximumLength)
            problem(m_entry.file, m_entry.line,
                    "the interpretation of \"" + m_entry.topic + "\" has " + std::to_string(length)
                        + " characters; it must have " + std::to_string(kMinimumLength) + " to "
                        + std::to_string(kMaximumLength));
        m_result.entries.push_back(std::move(m_entry));
    }

    const Charset &m_charset;
    Result &m_result;
    Entry m_entry;
    bool m_open = false;
    std::unordered_map<std::string, std::string> m_names;
};

} // namespace

Charset Charset::load(const std::string &hanziFile)
{
    std::ifstream in(hanziFile, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the character list " + hanziFile);
    Charset charset;
    std::string line;
    std::u32string chars;
    while (std::getline(in, line)) {
        if (line.starts_with('#'))
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!decode(line, chars))
            throw std::runtime_error("the character list is not valid UTF-8: " + hanziFile);
        charset.hanzi.insert(chars.begin(), chars.end());
    }
    charset.punctuation.insert(kPunctuation.begin(), kPunctuation.end());
    return charset;
}

Result parse(const std::vector<std::string> &files, const Charset &charset)
{
    Result result;
    Parser parser(charset, result);
    for (const auto &file : files)
        parser.parseFile(file);
    return result;
}

std::string content(const Entry &entry)
{
    std::string text;
    for (const auto &paragraph : entry.paragraphs) {
        if (!text.empty())
            text += "\r\n";
        text += paragraph;
    }
    return text;
}

} // namespace somnara::dict
