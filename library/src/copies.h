// Tags of the tagged print files that ChangeCopies rewrites.
#ifndef KV_LIBRARY_COPIES_H
#define KV_LIBRARY_COPIES_H

namespace kv {

// The number of the tag in the 4 bytes read (taken as a zero-terminated text), 0 when none matches.
int RecognizeTag(const char bytes[4]);

inline constexpr int kTagBeginDocument = 1;  // "#BD#"
inline constexpr int kTagCopies = 8;         // "#CP#"

}  // namespace kv

#endif
