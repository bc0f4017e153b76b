// The tool's string tables: every user-visible text in English and in Chinese (UTF-8).
#ifndef KV_TOOL_STRINGS_H
#define KV_TOOL_STRINGS_H

#include <cstdint>

namespace kv::tool {

enum class Language { Chinese, English };

// The language of a DisplayLan value: 0 is Chinese, every other value English.
constexpr Language LanguageOf(std::uint16_t display_language) {
  return display_language == 0 ? Language::Chinese : Language::English;
}

// The text of string `id` in the language; the empty text for an id that the table lacks.
const char* ToolString(Language language, int id);

}  // namespace kv::tool

#endif
