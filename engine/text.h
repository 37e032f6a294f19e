// Bounded 8-bit text building for the engine: no C runtime formatting, no
// writes past a buffer. A builder that ran out of room says so in ok().
#pragma once

#include <stddef.h>

class TextBuilder {
 public:
  // out must hold capacity bytes; it is NUL-terminated after every append.
  TextBuilder(char* out, size_t capacity) : m_out(out), m_capacity(capacity) {
    if (m_capacity) m_out[0] = '\0';
    else m_ok = false;
  }
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;

  TextBuilder& Append(const char* text) {
    while (*text) AppendChar(*text++);
    return *this;
  }

  TextBuilder& AppendChar(char c) {
    if (m_length + 1 < m_capacity) {
      m_out[m_length++] = c;
      m_out[m_length] = '\0';
    } else {
      m_ok = false;
    }
    return *this;
  }

  // As "%d", or "%02d" with minDigits 2: the sign comes before the padding.
  TextBuilder& AppendDecimal(long long value, int minDigits = 1) {
    char digits[24];
    int count = 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    if (value < 0) AppendChar('-');
    for (int pad = count; pad < minDigits; ++pad) AppendChar('0');
    while (count) AppendChar(digits[--count]);
    return *this;
  }

  bool ok() const { return m_ok; }
  size_t length() const { return m_length; }

 private:
  char* m_out;
  size_t m_capacity;
  size_t m_length = 0;
  bool m_ok = true;
};

inline bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Scans a decimal integer as "%d" does: leading white space, an optional
// sign, at least one digit. Values beyond the int range saturate, so that a
// huge count reads as too large rather than wrapping into a small one.
// Returns the text after the digits, or null when nothing was converted.
inline const char* ScanDecimal(const char* text, int* value) {
  while (IsScanSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  if (*text < '0' || *text > '9') return nullptr;
  long long magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (magnitude <= 0x80000000LL) magnitude = magnitude * 10 + (*text - '0');
  }
  if (negative) *value = magnitude > 0x80000000LL ? (-0x7FFFFFFF - 1) : static_cast<int>(-magnitude);
  else *value = magnitude > 0x7FFFFFFFLL ? 0x7FFFFFFF : static_cast<int>(magnitude);
  return text;
}
