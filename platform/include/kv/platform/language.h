// The system's default language, in the terms of Windows language identifiers.
#ifndef KV_PLATFORM_LANGUAGE_H
#define KV_PLATFORM_LANGUAGE_H

namespace kv::plat {

// Language identifiers that the platform reports.
inline constexpr unsigned kLangChinesePrc = 2052;  // Chinese (PRC)
inline constexpr unsigned kLangEnglishUs = 1033;   // English (United States)

// The system's default language identifier. On POSIX the locale (LC_ALL, else LC_MESSAGES, else LANG)
// tells it: "zh_CN..." is Chinese (PRC); every other locale reads as English (United States).
unsigned system_language_id();

// Whether the label library's messages are in Chinese when the program has chosen no language: on
// Windows always (its texts stay as they are); on POSIX when the locale (LC_ALL, else LC_MESSAGES, else
// LANG) begins with "zh", in any region; every other locale gives English.
bool messages_in_chinese();

}  // namespace kv::plat

#endif
