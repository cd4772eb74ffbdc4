#include "Engine/Settings/SettingsFile.h"

#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/FileWrite.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

std::string refusal(const std::string& path, const std::string& reason)
{
    return "Settings file " + path + " " + reason + "; using the default settings";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::string withReason(const std::string& what, int error)
{
    return what + " (" + std::strerror(error) + ")";
}

} // namespace

SettingsReadResult readSettingsFile(const std::string& path)
{
    SettingsReadResult result;
    auto refuse = [&](const std::string& reason) {
        result.status = SettingsReadStatus::Refused;
        result.message = refusal(path, reason);
        return result;
    };

    // A link is followed: a player may keep the settings elsewhere on purpose, and
    // reading a regular file through it touches nothing. A link to nothing is said.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0) {
            return refuse("is a symbolic link to a missing file");
        }
        if (error == ENOENT || error == ENOTDIR) {
            return result; // no file: the defaults, silently
        }
        return refuse(withReason("cannot be checked", error));
    }
    // Only a regular file is opened, without blocking (a FIFO would wait for a writer).
    // One byte more than a settings record tells a long file from a valid one.
    std::vector<u8> bytes;
    if (std::string problem = readRegularFileStart(path, &bytes, SettingsLayout::FileSize + 1); !problem.empty()) {
        return refuse(problem);
    }
    const size_t size = bytes.size();
    std::vector<std::string> rejected;
    if (!decodeSettings(bytes.data(), size, result.record, rejected)) {
        std::string found = size > SettingsLayout::FileSize ? "more than 53" : std::to_string(size);
        return refuse("has " + found + " bytes instead of 53");
    }
    result.status = SettingsReadStatus::Loaded;
    if (!rejected.empty()) {
        result.message = "Settings file " + path + ": out-of-range " + joined(rejected) + " replaced by defaults";
    }
    return result;
}

bool writeSettingsFile(const std::string& path, const SettingsRecord& record, std::string* error)
{
    auto fail = [&](const std::string& reason) {
        if (error) {
            *error = "Unable to save settings to " + path + ": " + reason;
        }
        return false;
    };

    SettingsBytes bytes = encodeSettings(record);
    if (std::string reason = replaceRegularFile(path, bytes.data(), bytes.size(), FileSync::Durable);
        !reason.empty()) {
        return fail(reason);
    }
    return true;
}
