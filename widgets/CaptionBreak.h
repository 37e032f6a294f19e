// Where a button caption that is too wide for one line breaks into two (8-bit text in code page 936).
#pragma once

#include <functional>
#include <string>

// The caption as it is when it fits in width; otherwise broken into two lines joined by
// "\r\n" at the break that makes the wider line narrowest, both lines within width. Breaks
// fall between two characters of which one is double-byte, or at a blank (dropped); never
// inside a word of single-byte letters. Unchanged when no such break gives two lines that fit.
std::string BreakCaption(const std::string& caption, int width,
                         const std::function<int(const std::string&)>& measure);
