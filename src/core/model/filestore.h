// Files as whole images, through the operating system directly: a file is replaced only once
// its new contents are known to be on disk, and only regular files are read.
//
// Paths are the file system's bytes (see filenamecodec.h for names that are not UTF-8).
// Failures return the system's text for the error ("No space left on device", "File too
// large", "Is a directory") or a sentence of our own for a file of the wrong kind.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ombrix {

// How far a write goes before the file is replaced: to the disk (fsync, survives a power
// cut), or to the system's cache (survives the program's crash or kill; cheap enough for a
// file written on every change).
enum class FileSync { ToDisk, Cached };

// Writes `bytes` to a new file beside `path` (same folder, so the rename cannot cross file
// systems), checking every write, the flush (with FileSync::ToDisk) and the close, and only
// then renames it over `path`. On any failure the temporary file is removed and `path` is left
// as it was. An existing file keeps its permissions; a symbolic link is followed, so the file
// it names is replaced; a FIFO, socket or device in its place is refused (notRegularFileReason's
// text). Empty on success, else the error's text.
std::optional<std::string> writeFileAtomically(const std::string& path,
                                               std::span<const unsigned char> bytes,
                                               FileSync sync = FileSync::ToDisk);

// What kind of file `path` names when it is not a regular file, as a reason for refusing it
// ("it is a folder, not a file"); empty for a regular file. A missing file gives the system's
// error text.
std::optional<std::string> notRegularFileReason(const std::string& path);

// Reads up to `most` bytes of `path` into `out`, refusing anything but a regular file (a
// folder, FIFO, socket or device) without opening it for reading, so nothing blocks. Empty on
// success, else the reason.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t most,
                                           std::vector<unsigned char>& out);

} // namespace ombrix
