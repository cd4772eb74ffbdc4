#include "Engine/Settings/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

SettingsReadResult readSettingsFile(const std::string& path)
{
    SettingsReadResult result;
    std::error_code error;
    bool exists = std::filesystem::exists(path, error);
    if (error) {
        result.status = SettingsReadStatus::Refused;
        result.message = refusal(path, "cannot be checked (" + error.message() + ")");
        return result;
    }
    if (!exists) {
        return result;
    }

    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.status = SettingsReadStatus::Refused;
        result.message = refusal(path, "cannot be opened");
        return result;
    }
    // One byte more than a settings record tells a long file from a valid one.
    u8 bytes[SettingsLayout::FileSize + 1] = {};
    file.read(reinterpret_cast<char*>(bytes), sizeof(bytes));
    size_t size = static_cast<size_t>(file.gcount());
    std::vector<std::string> rejected;
    if (!decodeSettings(bytes, size, result.record, rejected)) {
        result.status = SettingsReadStatus::Refused;
        std::string found = size > SettingsLayout::FileSize ? "more than 53" : std::to_string(size);
        result.message = refusal(path, "has " + found + " bytes instead of 53");
        return result;
    }
    result.status = SettingsReadStatus::Loaded;
    if (!rejected.empty()) {
        result.message = "Settings file " + path + ": out-of-range " + joined(rejected) + " replaced by defaults";
    }
    return result;
}

bool writeSettingsFile(const std::string& path, const SettingsRecord& record, std::string* error)
{
    const std::string temporary = path + ".tmp";
    auto fail = [&](const std::string& reason, bool created) {
        if (created) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
        }
        if (error) {
            *error = "Unable to save settings to " + path + ": " + reason;
        }
        return false;
    };

    // The file is replaced by a rename, which only asks the directory's permission: a
    // file the player made read-only (or may not write) is refused here instead.
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISREG(existing.st_mode) &&
        (::access(path.c_str(), W_OK) != 0 || (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return fail("the file is read-only", false);
    }

    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return fail(std::strerror(errno), false);
    }
    // The new file keeps the old one's permissions.
    if (exists && S_ISREG(existing.st_mode)) {
        ::fchmod(fileno(file), existing.st_mode & 07777);
    }
    SettingsBytes bytes = encodeSettings(record);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fflush(file) == 0 && written;
    written = ::fsync(fileno(file)) == 0 && written;
    int savedErrno = errno;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        return fail(std::strerror(savedErrno ? savedErrno : EIO), true);
    }

    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        return fail(renameError.message(), true);
    }
    return true;
}
