// boot.ini read as the loader reads it, line by line, and the restore entry added or taken out byte-exactly.
#include "BootIniText.h"

#include <cstddef>
#include <vector>

const char kRestoreDescription[] = "Tarwen: restore last good registry";
const char kRestoreSwitch[] = "/TWRESTORE";
const char kLoaderSection[] = "boot loader";
const char kSystemsSection[] = "operating systems";

namespace {

const char kBlanks[] = " \t";

// One line of the text: where it starts, where its content ends and where its
// line end ("\r\n", "\n" or none on the last line) ends; with its key and
// value when it is a key line, and the section it lies in.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t end;
    std::string section;
    std::string key;  // empty: a header, a comment, a blank or a line without "="
    std::string value;
};

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section names, ARC paths and switches are ASCII: the loader reads them
// before any code page exists.
bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

std::vector<Line> ReadLines(const std::string& ini) {
    std::vector<Line> lines;
    std::string section;
    for (std::size_t begin = 0; begin < ini.size();) {
        std::size_t newline = ini.find('\n', begin);
        Line line{begin, newline == std::string::npos ? ini.size() : newline,
                  newline == std::string::npos ? ini.size() : newline + 1, {}, {}, {}};
        if (line.contentEnd > begin && ini[line.contentEnd - 1] == '\r')
            --line.contentEnd;
        const std::string content = Trim(ini.substr(begin, line.contentEnd - begin));
        std::size_t equals = content.find('=');
        if (!content.empty() && content[0] == '[')
            section = Trim(content.substr(1, content.find(']') - 1));
        else if (!content.empty() && content[0] != ';' && equals != std::string::npos) {
            line.key = Trim(content.substr(0, equals));
            line.value = Trim(content.substr(equals + 1));
        }
        line.section = section;
        lines.push_back(line);
        begin = line.end;
    }
    return lines;
}

// What follows an entry's description: after its closing quote, or, for a
// description without quotes, from the first "/" on.
std::string SwitchesOf(const std::string& value) {
    std::size_t start = value.empty() || value[0] != '"' ? value.find('/') : value.find('"', 1);
    if (start == std::string::npos)
        return std::string();
    return Trim(value.substr(value[start] == '"' ? start + 1 : start));
}

bool IsSystemLine(const Line& line) {
    return !line.key.empty() && EqualNoCase(line.section, kSystemsSection);
}

bool IsRestoreEntry(const Line& line) {
    if (!IsSystemLine(line))
        return false;
    const std::string switches = SwitchesOf(line.value);
    for (std::size_t at = switches.find_first_not_of(kBlanks); at != std::string::npos;) {
        std::size_t end = switches.find_first_of(kBlanks, at);
        if (EqualNoCase(switches.substr(at, end == std::string::npos ? std::string::npos : end - at), kRestoreSwitch))
            return true;
        at = end == std::string::npos ? end : switches.find_first_not_of(kBlanks, end);
    }
    return false;
}

// The line that default= names: the first system line of its ARC path. Null
// when there is none.
const Line* DefaultSystem(const std::vector<Line>& lines) {
    const Line* defaultLine = nullptr;
    for (const Line& line : lines) {
        if (!defaultLine && EqualNoCase(line.section, kLoaderSection) && EqualNoCase(line.key, "default"))
            defaultLine = &line;
    }
    if (!defaultLine || defaultLine->value.empty())
        return nullptr;
    for (const Line& line : lines) {
        if (IsSystemLine(line) && EqualNoCase(line.key, defaultLine->value))
            return &line;
    }
    return nullptr;
}

}  // namespace

std::string WithoutRestoreEntries(const std::string& ini) {
    std::string kept;
    for (const Line& line : ReadLines(ini)) {
        if (!IsRestoreEntry(line)) {
            kept.append(ini, line.begin, line.end - line.begin);
        } else if (line.contentEnd == line.end && !kept.empty() && kept.back() == '\n') {
            kept.pop_back();
            if (!kept.empty() && kept.back() == '\r')
                kept.pop_back();
        }
    }
    return kept;
}

std::string WithRestoreEntry(const std::string& ini) {
    std::string text = WithoutRestoreEntries(ini);  // a restore entry is never the one copied
    const std::vector<Line> lines = ReadLines(text);
    const Line* source = DefaultSystem(lines);
    if (!source)
        return text;
    // The entry ends as its original does. An original on the last line without
    // a line end gets the first line's (a section header lies above it, so
    // there is one), and the file still ends without one.
    const Line& lineEndOf = source->end > source->contentEnd ? *source : lines.front();
    const std::string lineEnd = text.substr(lineEndOf.contentEnd, lineEndOf.end - lineEndOf.contentEnd);
    std::string switches = SwitchesOf(source->value);
    std::string entry = source->key + "=\"" + kRestoreDescription + "\" " + (switches.empty() ? "" : switches + " ") +
                        kRestoreSwitch;
    return text.insert(source->contentEnd, lineEnd + entry);
}

bool HasRestoreEntry(const std::string& ini) {
    for (const Line& line : ReadLines(ini)) {
        if (IsRestoreEntry(line))
            return true;
    }
    return false;
}
