#include "platform/file_io.h"

#include <algorithm>

#include "platform/file_fault.h"
#include "platform/file_system.h"

namespace ksv::platform {
namespace {

// A step that a test asked to fail fails here, before the system is asked.
FileResult Injected(FileStep step) {
    const FileFailure failure = InjectedFileFault(step);
    return failure == FileFailure::None ? FileResult{} : FileResult{failure, "injected by a test"};
}

// Reads to the end, but at most `limit` + 1 bytes, enough to tell too many.
FileResult ReadAll(const OpenFile& file, std::string& out, std::size_t limit) {
    char buffer[65536];
    while (out.size() <= limit) {
        std::size_t got = 0;
        if (FileResult read =
                ReadSome(file, buffer, std::min(sizeof buffer, limit + 1 - out.size()), got);
            !read.ok() || got == 0) {
            return read;
        }
        out.append(buffer, got);
    }
    return {};
}

// Writes the new content; an injected fault fails half-way, as a full disk
// does, so that what is left behind gets tested too.
FileResult WriteContent(const OpenFile& file, std::string_view content) {
    if (FileResult fault = Injected(FileStep::Write); !fault.ok()) {
        WriteAt(file, content.substr(0, content.size() / 2), 0);
        return fault;
    }
    return WriteAt(file, content, 0);
}

FileResult FlushContent(const OpenFile& file) {
    if (FileResult fault = Injected(FileStep::Flush); !fault.ok()) {
        return fault;
    }
    return Flush(file);
}

// For a folder that allows no new file, or no rename over this one (a sticky
// folder, the file someone else's). Not crash-safe, so only the last resort:
// on a failure the old content is put back as far as we can.
FileResult RewriteInPlace(const NativePath& target, std::string_view content) {
    OpenFile file;
    bool readable = false;
    if (FileResult opened = OpenToRewrite(target, file, readable); !opened.ok()) {
        return opened;
    }
    std::string backup;
    const bool haveBackup = readable && ReadAll(file, backup, backup.max_size() - 1).ok();
    FileResult result = WriteContent(file, content);
    if (result.ok()) {
        result = Truncate(file, content.size());
    }
    if (result.ok()) {
        result = FlushContent(file);
    }
    if (!result.ok() && haveBackup) {
        WriteAt(file, backup, 0);
        if (Truncate(file, backup.size()).ok()) {
            Flush(file);
        }
    }
    if (FileResult closed = file.Close(); result.ok()) {
        result = closed;
    }
    return result;
}

}  // namespace

FileResult ReadFileContent(const NativePath& path, std::string& content, std::size_t limit) {
    content.clear();
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    OpenFile file;
    std::uint64_t size = 0;
    FileResult opened = OpenToRead(target, file, size);
    // A save that stopped inside the replace left its content complete under
    // the other name, beside the file it replaces; that is the file now.
    if (const NativePath recovery = RecoveryPathFor(target);
        opened.failure == FileFailure::NotFound && !recovery.empty() &&
        OpenToRead(recovery, file, size).ok()) {
        opened = {};
    }
    if (!opened.ok()) {
        return opened;
    }
    if (size > limit) {
        return {FileFailure::TooLarge, {}};
    }
    FileResult read = ReadAll(file, content, limit);
    if (read.ok() && content.size() > limit) {  // it grew while we read
        read = {FileFailure::TooLarge, {}};
    }
    if (!read.ok()) {
        content.clear();
    }
    return read;
}

FileResult ReplaceFileContent(const NativePath& path, std::string_view content) {
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    TargetState old;
    if (FileResult checked = CheckReplaceable(target, old); !checked.ok()) {
        return checked;
    }
    TempFile temp;
    FileResult result = Injected(FileStep::CreateTemp);
    if (result.ok()) {
        result = CreateTemp(target, old, temp);
    }
    if (!result.ok()) {
        // A folder that takes no new file: the file itself may still be written.
        return old.exists && result.failure == FileFailure::AccessDenied
                   ? RewriteInPlace(target, content)
                   : result;
    }
    result = WriteContent(temp.file, content);
    if (result.ok()) {
        result = FlushContent(temp.file);
    }
    if (FileResult closed = temp.file.Close(); result.ok()) {
        result = closed;
    }
    if (!result.ok()) {
        DiscardTemp(temp);
        return result;
    }
    result = Injected(FileStep::Rename);
    if (result.ok()) {
        result = CommitTemp(temp, target, old, target != path);
    } else {
        DiscardTemp(temp);
    }
    // The rename refused (a sticky folder and someone else's file, say): the
    // file itself may still be written.
    if (old.exists && result.failure == FileFailure::AccessDenied) {
        return RewriteInPlace(target, content);
    }
    return result;
}

}  // namespace ksv::platform
