// ChangeCopies: the copy count of a tagged print file ("#BD#", "#CP#", digits, the rest) rewritten.
//
// The rewritten copy is made beside the print file under the work name "PrnTmp" and then takes the
// file's place in one step, so that the print file is at every moment either the old one or the
// new one, whatever fails.
#include "copies.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "compose.h"
#include "connection.h"
#include "kv/platform/files.h"
#include "kv/platform/memory.h"
#include "kvtaglib.h"

namespace kv {

namespace {

struct Tag {
  int number;
  const char* text;
};

// In the order of comparison.
constexpr Tag kTags[] = {
    {1, "#BD#"},  {2, "#ED#"},  {3, "#BP#"},  {4, "#EP#"},  {5, "#YR#"},  {6, "#XA#"},
    {7, "qp"},    {8, "#CP#"},  {9, "#TG#"},  {10, "#TB#"}, {11, "#TC#"}, {12, "#DG#"},
    {13, "#DB#"}, {14, "#DC#"}, {15, "#CO#"}, {16, "ql"},   {100, "\t "},
};

constexpr const char kWorkName[] = "PrnTmp";
constexpr std::size_t kCopyBlock = 1 << 20;

// The work file's path: "PrnTmp" in the print file's own directory, where taking the file's place is
// one step. Should the print file itself be called "PrnTmp", the work file is "PrnTmp~".
std::string WorkPath(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (std::strchr(plat::kPathSeparators, *p) != nullptr) name = p + 1;
  std::string work(path, static_cast<std::size_t>(name - path));
  work += kWorkName;
  bool same = std::strlen(name) == sizeof kWorkName - 1;
  for (std::size_t i = 0; same && i < sizeof kWorkName - 1; ++i)
    same = plat::kNamesIgnoreCase ? std::tolower(static_cast<unsigned char>(name[i])) ==
                                        std::tolower(static_cast<unsigned char>(kWorkName[i]))
                                  : name[i] == kWorkName[i];
  if (same) work += '~';
  return work;
}

bool WriteAll(plat::FileHandle out, const char* data, std::size_t n) {
  return plat::file_write(out, data, n) == static_cast<std::int64_t>(n);
}

// Reads the next tag and, when it is the expected one, writes it to the copy.
int CopyTag(plat::FileHandle in, plat::FileHandle out, int expected, int refused) {
  char bytes[4] = {};
  if (plat::file_read(in, bytes, sizeof bytes) < 0) return KV_ERR_COPIES_READ;
  if (RecognizeTag(bytes) != expected) return refused;
  return WriteAll(out, bytes, sizeof bytes) ? KV_OK : KV_ERR_COPIES_WRITE;
}

// Writes the copy of the print file with the new count.
int Rewrite(plat::FileHandle in, plat::FileHandle out, int copies) {
  int rc = CopyTag(in, out, kTagBeginDocument, KV_ERR_COPIES_NO_BD);
  if (rc == KV_OK) rc = CopyTag(in, out, kTagCopies, KV_ERR_COPIES_NO_CP);
  if (rc != KV_OK) return rc;

  // The old count's digits are dropped; the byte after them stays. A count has to end before the
  // file does, and must have fitted the command buffer.
  char stop = 0;
  for (int digits = 0;; ++digits) {
    const std::int64_t got = plat::file_read(in, &stop, 1);
    if (got < 0) return KV_ERR_COPIES_READ;
    if (got == 0) return KV_ERR_COPIES_TRUNCATED;
    if (stop < '0' || stop > '9') break;
    if (digits + 1 >= kBufferSize) return KV_ERR_COPIES_COUNT_TOO_LONG;
  }
  Line count(conn.ScratchBuffer, kBufferSize);
  count.Int(copies).Bytes(&stop, 1);
  if (!WriteAll(out, conn.ScratchBuffer, static_cast<std::size_t>(count.length()))) return KV_ERR_COPIES_WRITE;

  // The rest goes in large pieces when a block for them can be had (a print file can be large), else
  // through the command buffer.
  char* block = static_cast<char*>(plat::mem_alloc(kCopyBlock));
  char* piece = block != nullptr ? block : conn.CmdBuffer;
  const std::size_t size = block != nullptr ? kCopyBlock : kBufferSize;
  for (;;) {
    const std::int64_t got = plat::file_read(in, piece, size);
    if (got <= 0) {
      rc = got < 0 ? KV_ERR_COPIES_READ : KV_OK;
      break;
    }
    if (!WriteAll(out, piece, static_cast<std::size_t>(got))) {
      rc = KV_ERR_COPIES_WRITE;
      break;
    }
  }
  plat::mem_free(block);
  return rc;
}

}  // namespace

int RecognizeTag(const char bytes[4]) {
  char text[5] = {};
  std::memcpy(text, bytes, 4);
  for (const Tag& tag : kTags)
    if (std::strcmp(text, tag.text) == 0) return tag.number;
  return 0;
}

}  // namespace kv

using namespace kv;

KV_API(int) ChangeCopies(const char* path, int copies) {
  if (CannotCompose()) return KV_ERR_COPIES_CLOSED;
  ClearWorkBuffers();
  // The copy takes the file's place under its name: a link (symbolic or hard) or anything but a
  // plain file would stop being what it was, so it is refused and left alone.
  bool not_plain = false;
  plat::FileHandle in = plat::file_open_plain(path, &not_plain);
  if (in == plat::kInvalidFile) return not_plain ? KV_ERR_COPIES_NOT_PLAIN : KV_ERR_COPIES_OPEN;
  if (plat::file_link_count(in) != 1) {
    plat::file_close(in);
    return KV_ERR_COPIES_NOT_PLAIN;
  }
  const std::string work = WorkPath(path);
  plat::FileHandle out = plat::file_create(work.c_str());
  if (out == plat::kInvalidFile) {
    plat::file_close(in);
    return KV_ERR_COPIES_WORK_FILE;
  }
  // The copy gets the file's permissions (and owner) before any byte of it is written.
  int rc = plat::file_copy_access(in, out) ? Rewrite(in, out, copies) : KV_ERR_COPIES_WRITE;
  plat::file_close(in);
  plat::file_close(out);
  if (rc == KV_OK && !plat::file_replace(work.c_str(), path)) rc = KV_ERR_COPIES_REPLACE;
  if (rc != KV_OK) plat::file_delete(work.c_str());  // the print file stays as it was
  return rc;
}
