#include "settings.h"

#include <climits>
#include <cstring>
#include <vector>

#include "codes.h"
#include "kv/platform/files.h"
#include "kv/platform/profile.h"

namespace kv::tool {

namespace {

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

}  // namespace

const char* NumberStart(const char* text, bool* negative) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  *negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  return p;
}

int LeadingInt(const char* text) {
  if (text == nullptr) return 0;
  bool negative = false;
  const char* p = NumberStart(text, &negative);
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

Settings::Settings(std::string app_directory) : app_directory_(std::move(app_directory)) {
  if (!app_directory_.empty()) settings_path_ = app_directory_ + plat::kPathSeparator + kSettingsFileName;
}

bool Settings::EnsureFile(const char* file_name, std::string* path) const {
  if (file_name == nullptr || file_name[0] == '\0' || app_directory_.empty()) return false;
  *path = app_directory_ + plat::kPathSeparator + file_name;
  if (plat::file_exists(path->c_str()) || read_only_) return true;
  plat::FileHandle file = plat::file_create(path->c_str());
  if (file == plat::kInvalidFile) return false;
  plat::file_close(file);
  return true;
}

int Settings::ReadSettingInt(const char* section, const char* key, const char* file_name, int* value) const {
  std::string path;
  if (section == nullptr || key == nullptr || value == nullptr || !EnsureFile(file_name, &path))
    return kErrSettingsFile;
  char buf[kSettingIntChars + 1];
  int n = static_cast<int>(plat::profile_read(path.c_str(), section, key, "", buf, sizeof buf));
  if (n != 0) *value = LeadingInt(buf);
  return n;
}

int Settings::ReadSettingText(const char* section, const char* key, const char* file_name, int size, char* text) const {
  std::string path;
  if (section == nullptr || key == nullptr || text == nullptr || size < 1 || !EnsureFile(file_name, &path))
    return kErrSettingsFile;
  return static_cast<int>(plat::profile_read(path.c_str(), section, key, "", text, static_cast<std::size_t>(size)));
}

int Settings::ReadSettingText(const char* section, const char* key, int max_chars, std::string* text) const {
  if (text == nullptr || max_chars < 0) return kErrSettingsFile;
  std::vector<char> buf(static_cast<std::size_t>(max_chars) + 1, '\0');
  int n = ReadSettingText(section, key, kSettingsFileName, max_chars + 1, buf.data());
  *text = n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
  return n;
}

int Settings::WriteSetting(const char* section, const char* key, const char* value) const {
  if (section == nullptr || key == nullptr || value == nullptr || settings_path_.empty() || read_only_) return 0;
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return 0;
  return plat::profile_write(settings_path_.c_str(), section, key, value) ? 1 : 0;
}

}  // namespace kv::tool
