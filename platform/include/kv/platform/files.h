// Files of fixed name in the current directory: the spool file, work files, files to append.
#ifndef KV_PLATFORM_FILES_H
#define KV_PLATFORM_FILES_H

#include <cstddef>
#include <cstdint>

namespace kv::plat {

// An open file; kInvalidFile (all bits set, as the Windows invalid handle) when there is none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// The separator that joins a directory and a name ("/" or "\").
extern const char kPathSeparator[];

// Every character after which a path's last name begins ("/"; on Windows also "\" and a drive's ":").
extern const char kPathSeparators[];

// Whether the file system compares names without regard to case (Windows).
extern const bool kNamesIgnoreCase;

// Writes the current directory, zero-terminated, into buf. Returns its length, or 0 when it cannot be
// had or does not fit into `size` bytes together with its terminating zero.
std::size_t current_directory(char* buf, std::size_t size);

// Creates `path`, or truncates it to zero bytes, open for reading and writing and shared with other
// readers and writers. Only a plain file is made or truncated: a symbolic link at `path` is never
// followed, and a FIFO, device, directory or a file with other names (hard links) there makes the
// call fail at once, before anything is truncated.
FileHandle file_create(const char* path);

// Opens an existing file for reading, byte for byte, shared with other readers and writers.
FileHandle file_open_read(const char* path);

// Opens an existing file of fixed name for reading, as file_open_read does, but only a regular file
// reached without a symbolic link: a link, FIFO, device or directory at `path` fails at once (a FIFO
// never blocks the call). When the call fails because what is there is not such a file, *not_plain
// (if given) is set; it is cleared on success and on every other failure.
FileHandle file_open_plain(const char* path, bool* not_plain = nullptr);

// How many names (hard links) the open file has; 0 when that cannot be had.
int file_link_count(FileHandle file);

// Gives the file `to` the permissions and, where the system permits, the owner of the file `from`.
// False when the permissions could not be given.
bool file_copy_access(FileHandle from, FileHandle to);

// Writes len bytes at the file's position. Returns the number of bytes written, or -1.
std::int64_t file_write(FileHandle file, const void* data, std::size_t len);

// Reads up to len bytes. Returns the number read (0 at the end of the file), or -1 on a read error.
std::int64_t file_read(FileHandle file, void* buf, std::size_t len);

// The file's length in bytes, or -1.
std::int64_t file_size(FileHandle file);

// Closes the file; kInvalidFile is ignored.
void file_close(FileHandle file);

// Deletes the file of this name. False when it could not be deleted (or did not exist).
bool file_delete(const char* path);

// Puts the file `from` in the place of the file `to` in one step: a reader of `to` sees either the
// old file or the new one, never neither. Both must be in the same directory. False on failure,
// when `to` is unchanged.
bool file_replace(const char* from, const char* to);

// Whether something (a file, a directory, a link) exists at `path`, without following a link.
bool file_exists(const char* path);

}  // namespace kv::plat

#endif
