#pragma once

#include "Engine/Types.h"

#include <string>

// How far a replacement goes to outlive a crash of the machine: `Durable` waits for the
// file and its directory to reach the disk (the settings, saved when the player asks);
// `Replaced` only keeps the file whole, old or new (the interface layout, saved while
// the game runs whenever a window moved, where a wait on the disk would stall a frame).
enum class FileSync { Durable, Replaced };

// Replaces the file at `path` with `size` bytes: they are written to a new temporary
// file beside it (created exclusively under a name of its own, never through a link)
// and renamed over `path`, so a failed write leaves the previous file as it was; the new
// file keeps the old one's permissions. Not replaced: a read-only file
// (no write permission, or one the user may not write), a symbolic link, or anything
// else but a regular file. Empty on success, else why not, as a phrase to follow the
// file's name ("the file is read-only", "it is a symbolic link, ...").
std::string replaceRegularFile(const std::string& path, const u8* bytes, size_t size, FileSync sync);
