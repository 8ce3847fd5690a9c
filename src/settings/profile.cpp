#include "settings/profile.h"

#include <algorithm>
#include <cstddef>

#include "platform/blanks.h"

namespace ksv::profile {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreaks = "\r\n";

using platform::Trim;
using platform::TrimLeft;

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, AsciiLower, AsciiLower);
}

// One line of the content, as offsets into it.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;   // just past the text, where the line end starts
    std::size_t next = 0;  // just past the line end; equals `end` on a last line without one
};

Line LineAt(std::string_view content, std::size_t begin) {
    Line line{begin, begin};
    // A plain loop: find_first_of is several times slower on long lines.
    while (line.end < content.size() && content[line.end] != '\n' && content[line.end] != '\r') {
        ++line.end;
    }
    if (line.end == content.size()) {
        line.next = content.size();
    } else if (content[line.end] == '\r' && line.end + 1 < content.size() &&
               content[line.end + 1] == '\n') {
        line.next = line.end + 2;
    } else {
        line.next = line.end + 1;
    }
    return line;
}

enum class Kind { kBlank, kComment, kSection, kEntry, kOther };

struct Parsed {
    Kind kind = Kind::kOther;
    std::string_view name{};  // the section's or the key's, trimmed
    std::string_view rest{};  // an entry's text after its "="
};

Parsed Classify(std::string_view text) {
    const std::string_view t = TrimLeft(text);
    if (t.empty()) {
        return {Kind::kBlank};
    }
    if (t.front() == ';' || t.front() == '#') {
        return {Kind::kComment};
    }
    if (t.front() == '[') {
        // An opening bracket without a closing one is a broken header, not a key.
        const std::size_t close = t.rfind(']');
        return close == std::string_view::npos
                   ? Parsed{}
                   : Parsed{Kind::kSection, Trim(t.substr(1, close - 1))};
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return {};
    }
    return {Kind::kEntry, Trim(t.substr(0, eq)), t.substr(eq + 1)};
}

std::string_view ValueOf(std::string_view rest) {
    std::string_view value = Trim(rest);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

struct Location {
    bool sectionFound = false;
    Line anchor;  // the section's last entry line, or its header when it has none
    bool keyFound = false;
    Line keyLine;
    std::string_view rest;  // the key line's text after its "="
};

// Only the first section of a name is looked at, for reading and for writing
// alike: a key that it lacks is added to it even if a later section of the
// same name holds that key, so what is written is what is read back.
Location Find(std::string_view content, std::string_view section, std::string_view key) {
    Location loc;
    std::size_t pos = content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (pos < content.size()) {
        const Line line = LineAt(content, pos);
        pos = line.next;
        const Parsed parsed = Classify(content.substr(line.begin, line.end - line.begin));
        if (parsed.kind == Kind::kSection) {
            if (loc.sectionFound) {
                break;
            }
            if (SameName(parsed.name, section)) {
                loc.sectionFound = true;
                loc.anchor = line;
            }
        } else if (parsed.kind == Kind::kEntry && loc.sectionFound) {
            if (SameName(parsed.name, key)) {
                loc.keyFound = true;
                loc.keyLine = line;
                loc.rest = parsed.rest;
                break;
            }
            loc.anchor = line;
        }
    }
    return loc;
}

// The content's own line end (its first one); `newline` where it has none yet.
std::string_view LineEndOf(std::string_view content, std::string_view newline) {
    const std::size_t at = content.find_first_of(kLineBreaks);
    if (at == std::string_view::npos) {
        return newline;
    }
    if (content[at] == '\n') {
        return "\n";
    }
    return (at + 1 < content.size() && content[at + 1] == '\n') ? "\r\n" : "\r";
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(kLineBreaks) != std::string_view::npos;
}

void CheckNames(std::string_view section, std::string_view key, std::string_view newline) {
    if (HasLineBreak(section) || Trim(section) != section) {
        throw platform::InvalidArgument("profile: section name cannot be stored");
    }
    if (HasLineBreak(key) || Trim(key) != key || key.find('=') != std::string_view::npos ||
        (!key.empty() && (key.front() == ';' || key.front() == '#' || key.front() == '['))) {
        throw platform::InvalidArgument("profile: key name cannot be stored");
    }
    if (newline != "\r\n" && newline != "\n" && newline != "\r") {
        throw platform::InvalidArgument("profile: newline must be CR LF, LF or CR");
    }
}

std::string Entry(std::string_view key, std::string_view value, std::string_view newline) {
    return std::string(key).append("=").append(value).append(newline);
}

}  // namespace

std::optional<std::string> GetValue(std::string_view content, std::string_view section,
                                    std::string_view key) {
    const Location loc = Find(content, section, key);
    return loc.keyFound ? std::optional<std::string>(ValueOf(loc.rest)) : std::nullopt;
}

std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value,
                                    std::string_view newline) {
    CheckNames(section, key, newline);
    // A line break would end the entry early and turn the rest into lines of its own.
    value = value.substr(0, value.find_first_of(kLineBreaks));

    const Location loc = Find(content, section, key);
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 16);

    if (loc.keyFound) {
        if (ValueOf(loc.rest) == value) {
            return std::nullopt;
        }
        // Keep the line up to "=" and the blanks after it; only the value changes.
        const std::size_t restAt = static_cast<std::size_t>(loc.rest.data() - content.data());
        const std::size_t valueAt = restAt + (loc.rest.size() - TrimLeft(loc.rest).size());
        out.append(content.substr(0, valueAt));
        out.append(value);
        out.append(content.substr(loc.keyLine.end));
    } else {
        std::string_view lineEnd = LineEndOf(content, newline);
        if (loc.sectionFound) {
            // Straight after the section's last entry: blank lines and comments
            // that follow it are taken to belong to what comes next.
            const Line& anchor = loc.anchor;
            out.append(content.substr(0, anchor.next));
            if (anchor.next == anchor.end) {
                out.append(lineEnd);
            }
            // A lone CR before an LF would merge with it, swallowing the next line.
            if (lineEnd == "\r" && content.substr(anchor.next).starts_with('\n')) {
                lineEnd = "\r\n";
            }
            out.append(Entry(key, value, lineEnd));
            out.append(content.substr(anchor.next));
        } else {
            out.append(content);
            const bool lastLineOpen = !content.empty() && content != kByteOrderMark &&
                                      content.back() != '\n' && content.back() != '\r';
            if (lastLineOpen) {
                out.append(lineEnd);
            }
            out.append("[").append(section).append("]").append(lineEnd);
            out.append(Entry(key, value, lineEnd));
        }
    }
    if (out == content) {
        return std::nullopt;
    }
    return out;
}

}  // namespace ksv::profile
