// BreakCaption: the candidate breaks of a cp936 caption and the most even of them.
#include "CaptionBreak.h"

#include <algorithm>
#include <vector>

namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string BreakCaption(const std::string& caption, int width,
                         const std::function<int(const std::string&)>& measure) {
    if (measure(caption) <= width)
        return caption;
    // Start of each character, and whether it is double-byte or a blank.
    struct Character {
        size_t at;
        bool wide;
        bool blank;
    };
    std::vector<Character> characters;
    for (size_t i = 0; i < caption.size();) {
        bool wide = IsLeadByte(static_cast<unsigned char>(caption[i])) && i + 1 < caption.size();
        characters.push_back({i, wide, caption[i] == ' '});
        i += wide ? 2 : 1;
    }
    std::string best = caption;
    int bestWidth = -1;
    for (size_t k = 1; k < characters.size(); ++k) {
        const Character& before = characters[k - 1];
        const Character& after = characters[k];
        if (!(before.wide || after.wide || before.blank || after.blank))
            continue;
        std::string first = TrimBlanks(caption.substr(0, after.at));
        std::string second = TrimBlanks(caption.substr(after.at));
        if (first.empty() || second.empty())
            continue;
        int wider = std::max(measure(first), measure(second));
        if (wider <= width && (bestWidth < 0 || wider < bestWidth)) {
            bestWidth = wider;
            best = first + "\r\n" + second;
        }
    }
    return best;
}
