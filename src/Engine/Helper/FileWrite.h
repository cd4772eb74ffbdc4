#pragma once

#include "Engine/Types.h"

#include <string>

// Replaces the file at `path` with `size` bytes: they are written to a new temporary
// file beside it (created exclusively under a name of its own, never through a link),
// flushed to disk and renamed over `path`, so a failed write leaves the previous file as
// it was; the new file keeps the old one's permissions. Not replaced: a read-only file
// (no write permission, or one the user may not write), a symbolic link, or anything
// else but a regular file. Empty on success, else why not, as a phrase to follow the
// file's name ("the file is read-only", "it is a symbolic link, ...").
std::string replaceRegularFile(const std::string& path, const u8* bytes, size_t size);
