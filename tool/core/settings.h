// The settings file "KV_setting.ini": in the private-profile format, in the directory that was current
// when the program started. Section "Setting" holds the display language; each printer has a section
// of its own name with its option values.
#ifndef KV_TOOL_SETTINGS_H
#define KV_TOOL_SETTINGS_H

#include <string>

namespace kv::tool {

// Most characters ReadSettingInt takes of a value.
inline constexpr int kSettingIntChars = 99;

// Where the number at the start of a text begins: white space skipped, then an optional sign, which
// `negative` reports.
const char* NumberStart(const char* text, bool* negative);

// The leading decimal integer of a text: white space skipped, an optional sign, digits; 0 when the text
// does not begin with a number. Beyond the 32-bit range it stays at the range's end.
int LeadingInt(const char* text);

class Settings {
 public:
  // The settings of a program started in `app_directory` (empty when the directory could not be had).
  explicit Settings(std::string app_directory);

  // Settings that only read: a missing file reads as empty and is not created; nothing is written.
  // The command line reads so until a command is about to store a value.
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  const std::string& AppDirectory() const { return app_directory_; }
  // AppDirectory followed by the separator and "KV_setting.ini"; empty without AppDirectory.
  const std::string& SettingsPath() const { return settings_path_; }

  // Reads the key as a number. A missing file (AppDirectory + separator + file_name) is created empty
  // first. Returns the number of characters read (at most 99) and, when that is not 0, the value's
  // leading integer in *value; 0 for a missing or empty key, *value untouched. kErrSettingsFile when
  // the file is neither there nor creatable, or an argument is null.
  int ReadSettingInt(const char* section, const char* key, const char* file_name, int* value) const;

  // Reads the key's text into `text`: at most size - 1 characters and a terminating zero, the empty
  // text for a missing key. Returns the number of characters read; kErrSettingsFile as above, also
  // when there is no buffer (size below 1), and then nothing is written.
  int ReadSettingText(const char* section, const char* key, const char* file_name, int size, char* text) const;

  // The same, into a string, of at most `max_chars` characters.
  int ReadSettingText(const char* section, const char* key, int max_chars, std::string* text) const;

  // Writes key=value in the section of SettingsPath, creating file, section and key as needed.
  // Returns 1 when written, 0 when not (the file cannot be written, the settings only read, or a text
  // holds a line break, which would break the file's lines).
  int WriteSetting(const char* section, const char* key, const char* value) const;

 private:
  // The path of `file_name` in AppDirectory, created empty when missing. False when neither.
  bool EnsureFile(const char* file_name, std::string* path) const;

  std::string app_directory_;
  std::string settings_path_;
  bool read_only_ = false;
};

}  // namespace kv::tool

#endif
