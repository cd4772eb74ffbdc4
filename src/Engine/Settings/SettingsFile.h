#pragma once

// Reading and writing the settings file as a whole (no window or GPU).

#include "Engine/Settings/SettingsCodec.h"

#include <string>

enum class SettingsReadStatus {
    Loaded,  // the record holds the file's values (rejected fields replaced by defaults)
    Missing, // no file: keep the defaults silently
    Refused, // not a regular file, unreadable, or not exactly 53 bytes: keep the defaults
};

struct SettingsReadResult {
    SettingsReadStatus status = SettingsReadStatus::Missing;
    SettingsRecord record;
    // One line for the player when something was wrong with the file, else empty.
    std::string message;
};

// Reads the whole file at `path` in one go, never blocking; a link is followed. Anything
// but a regular file (a FIFO, a directory, a device, a link to nothing, ...) and a file
// of any other size than 53 bytes are refused and nothing of them is used.
SettingsReadResult readSettingsFile(const std::string& path);

// Writes the record to a new temporary file beside `path` (created exclusively under a
// name of its own, never through a link), flushes it to disk and renames it over
// `path`, so a failed write leaves the previous file as it was; the new file keeps the
// old one's permissions. Not replaced: a read-only file (no write permission, or one
// the user may not write), a symbolic link, or anything else but a regular file. On
// failure returns false and sets `error` to one line naming `path`.
bool writeSettingsFile(const std::string& path, const SettingsRecord& record, std::string* error);
