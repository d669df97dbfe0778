#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace somnara::dict {

struct Entry
{
    std::string category;
    std::string topic;
    std::vector<std::string> aliases;
    std::vector<std::string> paragraphs;
    std::string file;
    int line = 0;
};

struct Problem
{
    std::string file;
    int line = 0;
    std::string message;
};

// What a dictionary source may contain besides ASCII letters and digits.
struct Charset
{
    std::unordered_set<char32_t> hanzi;       // simplified Chinese characters
    std::unordered_set<char32_t> punctuation; // the full-width marks we allow

    // Reads the character list (one or more characters per line, '#' lines are comments).
    static Charset load(const std::string &hanziFile);
};

// Limits on an interpretation, in characters, line breaks not counted.
inline constexpr size_t kMinimumLength = 80;
inline constexpr size_t kMaximumLength = 600;

// Parses the sources in the order given and checks every rule; entries come back in source
// order. Every fault found is reported, not just the first.
struct Result
{
    std::vector<Entry> entries;
    std::vector<Problem> problems;
};
Result parse(const std::vector<std::string> &files, const Charset &charset);

// The interpretation as stored: paragraphs joined by CR LF.
std::string content(const Entry &entry);

} // namespace somnara::dict
