// A command line composed in a fixed buffer. Every append checks the room that is left; once a piece
// does not fit, the line is spoiled and stays so, and the caller refuses the command instead of
// cutting it. The text is kept zero-terminated.
#ifndef KV_LIBRARY_LINE_H
#define KV_LIBRARY_LINE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kv {

class Line {
 public:
  Line(char* buffer, std::size_t capacity) : buf_(buffer), cap_(capacity) {
    if (cap_ > 0) buf_[0] = '\0';
  }

  // Appends n bytes; null with n > 0 spoils the line.
  Line& Bytes(const char* p, std::size_t n) {
    if (p == nullptr && n > 0) ok_ = false;
    if (!ok_ || n >= cap_ - len_) {  // room for the bytes and the terminating zero
      ok_ = false;
      return *this;
    }
    std::memcpy(buf_ + len_, p, n);
    len_ += n;
    buf_[len_] = '\0';
    return *this;
  }

  // Appends a zero-terminated text; null spoils the line.
  Line& Text(const char* s) {
    if (s == nullptr) {
      ok_ = false;
      return *this;
    }
    return Bytes(s, std::strlen(s));
  }

  // Appends one byte: the low 8 bits of the value, whatever they are (a zero byte included).
  Line& Char(int c) {
    const char b = static_cast<char>(c & 0xFF);
    return Bytes(&b, 1);
  }

  // Appends a number in signed decimal, at least `width` characters, filled on the left with spaces.
  Line& Int(std::int32_t v, int width = 0) {
    char digits[16];
    int n = 0;
    std::uint32_t mag = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    do {
      digits[n++] = static_cast<char>('0' + mag % 10);
      mag /= 10;
    } while (mag != 0);
    if (v < 0) digits[n++] = '-';
    for (int pad = width - n; pad > 0; --pad) Bytes(" ", 1);
    while (n > 0) Bytes(&digits[--n], 1);
    return *this;
  }

  Line& Comma() { return Bytes(",", 1); }
  Line& Quote() { return Bytes("\"", 1); }
  Line& End() { return Bytes("\r\n", 2); }

  bool ok() const { return ok_; }
  int length() const { return static_cast<int>(len_); }

 private:
  char* buf_;
  std::size_t cap_;
  std::size_t len_ = 0;
  bool ok_ = true;
};

}  // namespace kv

#endif
