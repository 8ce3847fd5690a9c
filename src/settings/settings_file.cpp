#include "settings/settings_file.h"

#include <algorithm>
#include <cstdint>

#include "platform/file_io.h"
#include "platform/file_owner.h"
#include "platform/monotonic_time.h"
#include "platform/user_settings_directory.h"
#include "settings/profile.h"

namespace ksv {
namespace {

using platform::FileFailure;
using platform::FileResult;
using platform::NativePath;

constexpr std::string_view kSection = "ksv";
constexpr std::string_view kFileName = "ksv.ini";

// The longest value the program has ever been given back: its buffer held
// 254 bytes, the last of them the terminating NUL.
constexpr std::size_t kLongestValue = 253;

#ifdef _WIN32
constexpr std::string_view kNewline = "\r\n";
#else
constexpr std::string_view kNewline = "\n";
#endif

// The file as text; an absent file (or folder) is an empty one.
FileResult ReadText(const NativePath& path, FileText& text) {
    std::string bytes;
    if (const FileResult read = platform::ReadFileContent(path, bytes, kLargestSettingsFile);
        !read.ok()) {
        text = {};
        return read.failure == FileFailure::NotFound ? FileResult{} : read;
    }
    auto decoded = DecodeFileText(bytes);
    if (!decoded) {
        return {FileFailure::UnknownEncoding, {}};
    }
    text = std::move(*decoded);
    return {};
}

// Waiting cannot mend these.
bool Lasting(FileFailure failure) {
    return failure == FileFailure::IsDirectory || failure == FileFailure::UnknownEncoding ||
           failure == FileFailure::UntrustedLink || failure == FileFailure::TooLarge;
}

}  // namespace

SettingsPlace SettingsPath(const NativePath& programDirectory,
                           const std::function<NativePath()>& userDirectory) {
    // Counting somewhere else instead would look like a lost count.
    if (programDirectory.empty()) {
        throw SettingsPlaceError({});
    }
    const NativePath beside = platform::JoinPath(programDirectory, kFileName);
    // In a folder that someone else may write, a ksv.ini (or a link by that
    // name) could be anybody's, and they could take it away, block its saves
    // or aim them elsewhere.
    const bool shared = platform::OthersMayWrite(programDirectory);
    const platform::EntryOwner besideOwner = platform::OwnerOf(beside);
    platform::EntryOwner owner = besideOwner;
    // A save that stopped inside the replace may have left the file under
    // its other name only.
    if (const NativePath recovery = platform::RecoveryPathFor(beside);
        owner == platform::EntryOwner::None && !recovery.empty()) {
        owner = platform::OwnerOf(recovery);
    }
    // A program with its own ksv.ini beside it asks nothing more: it neither
    // probes its folder (on Windows, by making a file there) nor looks for
    // the user's.
    if (!shared && platform::Trusted(owner)) {
        return {.path = beside};
    }
    const NativePath user = userDirectory();
    if (!shared && owner == platform::EntryOwner::None &&
        (user.empty() || (!platform::SystemProgramDirectory(programDirectory) &&
                          platform::DirectoryWritable(programDirectory)))) {
        return {.path = beside};
    }
    if (user.empty()) {
        throw SettingsPlaceError(programDirectory);
    }
    SettingsPlace place{.path = platform::JoinPath(user, kFileName), .inUserFolder = true};
    if (besideOwner != platform::EntryOwner::None) {
        place.setAside = beside;
        place.why = shared ? SetAside::SharedFolder : SetAside::OtherUsersFile;
        // The user's own file, not a link to one: its count goes on here.
        NativePath target;
        const bool own = besideOwner == platform::EntryOwner::Self &&
                         platform::ResolveTrustedLinks(beside, target).ok() && target == beside;
        const bool counted = platform::OwnerOf(place.path) != platform::EntryOwner::None;
        place.carry = own && !counted;
        place.tell = !own || !counted;
    }
    return place;
}

FileResult CarryOver(const SettingsPlace& place) {
    std::string bytes;
    FileResult result = platform::ReadFileContent(place.setAside, bytes, kLargestSettingsFile);
    if (!result.ok()) {
        return result;
    }
    platform::MakeDirectories(platform::ParentPath(place.path));
    return platform::ReplaceFileContent(place.path, bytes);
}

SettingsReadError::SettingsReadError(NativePath path, FileResult result)
    : platform::Error("the settings file cannot be read"),
      path_(std::move(path)),
      result_(std::move(result)) {}

SettingsFile::SettingsFile(NativePath path, bool makeFolder, std::chrono::milliseconds patience)
    : path_(std::move(path)), makeFolder_(makeFolder), patience_(patience) {}

StoredSettings SettingsFile::Read() const {
    const std::uint64_t deadline =
        platform::MonotonicMilliseconds() +
        static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(patience_.count(), 0));
    for (;;) {
        FileText text;
        const FileResult read = ReadText(path_, text);
        if (read.ok()) {
            return StoredSettings(std::move(text));
        }
        if (Lasting(read.failure) || platform::MonotonicMilliseconds() >= deadline) {
            throw SettingsReadError(path_, read);
        }
        platform::SleepMilliseconds(100);
    }
}

std::string StoredSettings::ReadSetting(std::string_view key, std::string_view defaultValue) const {
    auto value = profile::GetValue(file_.text, kSection, ToFileText(file_.encoding, key));
    if (!value) {
        return std::string(defaultValue);
    }
    // The value is handed on as text, which ends at a NUL byte.
    if (const auto end = value->find('\0'); end != std::string::npos) {
        value->resize(end);
    }
    return FromFileText(file_.encoding, CutFileText(file_.encoding, *value, kLongestValue));
}

FileResult SettingsFile::WriteSetting(std::string_view key, std::string_view value) {
    // Read afresh: the file is the user's too. One we cannot read is left
    // alone, since replacing it would lose everything else it holds.
    FileText file;
    if (const FileResult read = ReadText(path_, file); !read.ok()) {
        return read;
    }
    auto updated = profile::SetValue(file.text, kSection, ToFileText(file.encoding, key),
                                     ToFileText(file.encoding, value), kNewline);
    if (!updated) {
        return {};
    }
    file.text = std::move(*updated);
    const std::string bytes = EncodeFileText(file);
    if (bytes.size() > kLargestSettingsFile) {
        return {FileFailure::TooLarge, {}};
    }
    FileResult written = platform::ReplaceFileContent(path_, bytes);
    if (written.failure == FileFailure::NotFound && makeFolder_) {
        if (platform::MakeDirectories(platform::ParentPath(path_))) {
            written = platform::ReplaceFileContent(path_, bytes);
        }
    }
    return written;
}

}  // namespace ksv
