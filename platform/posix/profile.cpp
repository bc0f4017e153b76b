// Settings files in the private-profile format, read and written by the rules of the Windows profile
// functions: a section starts at a line "[name]" (leading white space allowed, the name ends at the
// line's last "]", blanks around it inside the brackets ignored); a key line is "key=value"; sections
// and keys are found without regard to case, the first match counting; white space around keys and
// values and one pair of matching quotes around a value are not part of them; lines that are neither
// (comments, blank lines) belong to no key. A write changes only the line of its key (or adds one) and
// keeps every other byte of the file; the new file takes the old one's place in one step, so a reader
// never sees half of it. A settings file that is a symbolic link is written through to its target.
#include "kv/platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kv::plat {

namespace {

constexpr const char kBlanks[] = " \t\v\f\r";

struct LineSpan {
  std::size_t start;  // offset of the line's first byte
  std::size_t end;    // offset just past its text (before any CR LF or LF)
  std::size_t next;   // offset of the following line
};

bool is_blank(char c) { return c != '\0' && std::strchr(kBlanks, c) != nullptr; }

// The text with the blanks at both ends removed.
std::string trimmed(const char* begin, const char* end) {
  while (begin < end && is_blank(*begin)) ++begin;
  while (end > begin && is_blank(end[-1])) --end;
  return std::string(begin, end);
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<LineSpan> split_lines(const std::string& text) {
  std::vector<LineSpan> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    LineSpan line;
    line.start = pos;
    if (nl == std::string::npos) {
      line.end = text.size();
      line.next = text.size();
    } else {
      line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
      line.next = nl + 1;
    }
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// When the line is a section header, its name; otherwise false.
bool section_name(const std::string& text, const LineSpan& line, std::string* name) {
  const char* p = text.data() + line.start;
  const char* end = text.data() + line.end;
  while (p < end && is_blank(*p)) ++p;
  if (p == end || *p != '[') return false;
  const char* close = end;
  while (close > p && close[-1] != ']') --close;
  if (close == p) return false;       // no "]" after the "["
  *name = trimmed(p + 1, close - 1);  // "[ Setting ]" names the section "Setting"
  return true;
}

// When the line is a key line, its key (trimmed) and where its value's text begins; otherwise false.
bool key_of(const std::string& text, const LineSpan& line, std::string* key, std::size_t* value_start) {
  const char* begin = text.data() + line.start;
  const char* end = text.data() + line.end;
  const char* eq = static_cast<const char*>(std::memchr(begin, '=', static_cast<std::size_t>(end - begin)));
  if (eq == nullptr) return false;
  *key = trimmed(begin, eq);
  *value_start = static_cast<std::size_t>(eq + 1 - text.data());
  return true;
}

struct Found {
  bool section = false;       // the section exists
  std::size_t insert_at = 0;  // where a new key of it goes: after its last line that is not blank
  bool key = false;           // the key exists in it
  std::size_t key_line = 0;
};

// Finds the first section of this name and, in it, the first key of this name. The nameless section
// before the first header is the section "".
Found find(const std::string& text, const std::vector<LineSpan>& lines, const std::string& section,
           const std::string& key) {
  Found f;
  bool inside = section.empty();
  f.section = inside;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (section_name(text, lines[i], &name)) {
      if (inside) return f;
      if (same_name(name, section)) {
        inside = true;
        f.section = true;
        f.insert_at = lines[i].next;
      }
      continue;
    }
    if (!inside) continue;
    if (!trimmed(text.data() + lines[i].start, text.data() + lines[i].end).empty()) f.insert_at = lines[i].next;
    std::string k;
    std::size_t value_start = 0;
    if (!f.key && key_of(text, lines[i], &k, &value_start) && same_name(k, key)) {
      f.key = true;
      f.key_line = i;
    }
  }
  return f;
}

// Reads the whole file. False when it exists but cannot be read or is larger than kProfileMaxBytes; a
// missing file reads as empty.
bool read_file(const char* path, std::string* text, bool* exists, mode_t* mode) {
  text->clear();
  *exists = false;
  // Non-blocking, so that a FIFO at the name is refused below instead of waiting for a writer.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  *exists = true;
  *mode = st.st_mode & 07777;
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > kProfileMaxBytes) {
    close(fd);
    return false;
  }
  char chunk[8192];
  for (;;) {
    if (text->size() > kProfileMaxBytes) {  // it grew while being read
      close(fd);
      return false;
    }
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

// Puts `text` in the place of the file at `path` in one step.
bool replace_file(const char* path, const std::string& text, bool existed, mode_t mode) {
  std::string temp = std::string(path) + ".XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) return false;
  bool ok = fchmod(fd, existed ? mode : 0644) == 0;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

std::size_t profile_read(const char* path, const char* section, const char* key, const char* default_text, char* buf,
                         std::size_t size) {
  if (buf == nullptr || size == 0) return 0;
  std::string value = default_text != nullptr ? default_text : "";
  std::string text;
  bool exists = false;
  mode_t mode = 0;
  if (path != nullptr && section != nullptr && key != nullptr && read_file(path, &text, &exists, &mode)) {
    std::vector<LineSpan> lines = split_lines(text);
    const std::string s = trimmed(section, section + std::strlen(section));
    const std::string k = trimmed(key, key + std::strlen(key));
    Found f = find(text, lines, s, k);
    if (f.key) {
      std::string ignored;
      std::size_t value_start = 0;
      key_of(text, lines[f.key_line], &ignored, &value_start);
      value = trimmed(text.data() + value_start, text.data() + lines[f.key_line].end);
      if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    }
  }
  std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buf, value.data(), n);
  buf[n] = '\0';
  return n;
}

namespace {

// The file a write goes to: the path itself, or, when it is a symbolic link, the file the link leads
// to, so that the link stays a link and its target is written, as the Windows profile functions do.
// False for a link that leads nowhere.
bool write_target(const char* path, std::string* target) {
  struct stat st;
  if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) {
    *target = path;
    return true;
  }
  char* real = realpath(path, nullptr);
  if (real == nullptr) return false;
  *target = real;
  std::free(real);
  return true;
}

}  // namespace

bool profile_write(const char* path, const char* section, const char* key, const char* value) {
  if (path == nullptr || section == nullptr || key == nullptr || value == nullptr) return false;
  std::string target;
  if (!write_target(path, &target)) return false;
  path = target.c_str();
  std::string text;
  bool exists = false;
  mode_t mode = 0;
  if (!read_file(path, &text, &exists, &mode)) return false;
  std::vector<LineSpan> lines = split_lines(text);
  const std::string s = trimmed(section, section + std::strlen(section));
  const std::string k = trimmed(key, key + std::strlen(key));
  Found f = find(text, lines, s, k);

  // New lines end as the file's lines do: CR LF unless its first line ends in a bare LF.
  std::string eol = "\r\n";
  if (!lines.empty() && lines[0].next > lines[0].end && text[lines[0].end] == '\n') eol = "\n";

  std::string out;
  if (f.key) {
    // The key keeps its spelling; the rest of its line becomes the new value.
    const LineSpan& line = lines[f.key_line];
    std::string spelled;
    std::size_t value_start = 0;
    key_of(text, line, &spelled, &value_start);
    out = text.substr(0, line.start) + spelled + "=" + value + text.substr(line.end);
  } else if (f.section) {
    // After the section's last line that is not blank, so blank lines that part sections stay between them.
    std::string before = text.substr(0, f.insert_at);
    if (!before.empty() && before.back() != '\n') before += eol;
    out = before + k + "=" + value + eol + text.substr(f.insert_at);
  } else {
    out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    if (!s.empty()) out += "[" + s + "]" + eol;
    out += k + "=" + value + eol;
  }
  return replace_file(path, out, exists, mode);
}

}  // namespace kv::plat
