// Our profile reader and writer against the system's GetPrivateProfileStringA
// and WritePrivateProfileStringA, on one table of file contents. Where we
// differ on purpose, the table of expected differences says why; any other
// difference, or an expected one that no longer happens, fails the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "settings/file_text.h"
#include "settings/profile.h"
#include "settings/settings_file.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;

struct Content {
    const char* name;
    std::optional<std::string> text;  // nothing: no file at all
};

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

const std::string kWide = "\xD6\xD0";  // 中 in code page 936

// Saved as "Unicode" by Notepad; a comment holds a character no ANSI code
// page has.
const std::u16string kUnicode =
    u"\uFEFF; 备注 \U0001F600\r\n[ksv]\r\ntitle=分钟计时\r\nminutes=42\r\n[b]\r\nminutes=9\r\n";

const std::vector<Content>& Contents() {
    static const std::vector<Content> contents = {
        {"no file", std::nullopt},
        {"empty file", ""},
        {"one key", "[ksv]\r\nminutes=1\r\n"},
        {"empty values", "[ksv]\r\ntitle=\r\nminutes=\r\n"},
        {"blanks", "  [ksv]  \r\n  minutes  =  42  \r\n\ttitle\t=\t a b \t\r\n"},
        {"quotes", "[ksv]\r\ntitle=\"quoted\"\r\nminutes='7'\r\nother=\"half\r\n"},
        {"case", "[KSV]\r\nMINUTES=3\r\nTitle=T\r\n"},
        {"comments", "; note\r\n[ksv]\r\n;minutes=9\r\nminutes=4\r\n# title=hash\r\n"},
        {"duplicates", "[ksv]\r\nminutes=1\r\nminutes=2\r\n[ksv]\r\nminutes=3\r\ntitle=x\r\n"},
        {"LF", "[ksv]\nminutes=5\ntitle=lf\n"},
        {"mixed line ends", "[ksv]\r\nminutes=5\ntitle=mixed\r\n"},
        {"other sections", "[a]\r\nminutes=8\r\n[ksv]\r\ntitle=t\r\n[b]\r\nminutes=9\r\n"},
        {"key before any section", "minutes=1\r\n[ksv]\r\nminutes=2\r\n"},
        {"no last line end", "[ksv]\r\nminutes=6"},
        {"key without equals", "[ksv]\r\nminutes\r\ntitle=t\r\n"},
        {"equals in value", "[ksv]\r\ntitle=a=b\r\nminutes = = 3\r\n"},
        {"blank lines", "\r\n\r\n[ksv]\r\n\r\nminutes=2\r\n\r\n[b]\r\n"},
        {"long single-byte", "[ksv]\r\ntitle=" + Repeat("abcdefghij", 30) + "\r\nminutes=1\r\n"},
        {"long double-byte", "[ksv]\r\ntitle=a" + Repeat(kWide, 150) + "\r\n"},
        {"double-byte names", "[" + kWide + "]\r\nminutes=1\r\n[ksv]\r\ntitle=" + kWide + "\r\n"},
        {"utf-16le", ksv::testing::Utf16Bytes(kUnicode)},
        {"utf-16be", ksv::testing::Utf16Bytes(kUnicode, false)},
        {"utf-16le without the section", ksv::testing::Utf16Bytes(u"\uFEFF; 备注\r\n")},
        {"utf-16le long title", ksv::testing::Utf16Bytes(u"\uFEFF[ksv]\r\ntitle=a" +
                                                         std::u16string(150, u'中') + u"\r\n")},
        {"utf-8 with its mark", "\xEF\xBB\xBF[ksv]\r\ntitle=中文\r\nminutes=5\r\n"},
    };
    return contents;
}

struct Query {
    const char* section;
    const char* key;
};
const std::vector<Query> kQueries = {{"ksv", "minutes"}, {"ksv", "title"},
                                     {"ksv", "other"},   {"b", "minutes"},
                                     {"Ksv", "Minutes"}, {"missing", "minutes"}};

struct Write {
    const char* section;
    const char* key;
    const char* value;
};
const std::vector<Write> kWrites = {{"ksv", "minutes", "60"},
                                    {"ksv", "title", "new"},
                                    {"KSV", "MINUTES", "7"},
                                    {"ksv", "minutes", ""},
                                    {"new", "minutes", "1"}};

// Differences we make on purpose: "content / what" and the reason.
const std::map<std::string, std::string> kDeliberate = {
    {"quotes / write KSV MINUTES=7", "a stored value that reads the same is not written again"},
    // The system's reader ignores a line without "=" but its writer takes it
    // for the key; we keep the line, as every other line, and add the key.
    {"key without equals / write ksv minutes=60", "a line without '=' is no key, and is kept"},
    {"key without equals / write KSV MINUTES=7", "a line without '=' is no key, and is kept"},
    {"key without equals / write ksv minutes=", "a line without '=' is no key, and is kept"},
    // The system converts a UTF-16 title to the ANSI code page before its cut:
    // every character that page lacks is lost. Ours keeps 253 UTF-16 units.
    {"utf-16le long title / read ksv title", "cut after 253 UTF-16 units, nothing lost"},
};

// Our reader and writer as the settings file uses them: on the file's text,
// which for UTF-16 is UTF-8, and values in the system's ANSI code page as the
// program's own reads give them.
ksv::FileText Decode(const std::string& bytes) {
    return ksv::DecodeFileText(bytes).value_or(ksv::FileText{});
}

std::optional<std::string> OurGet(const std::string& bytes, const char* section, const char* key) {
    const ksv::FileText file = Decode(bytes);
    const auto value = ksv::profile::GetValue(file.text, section, key);
    if (!value || file.encoding == ksv::TextEncoding::Ansi) {
        return value;
    }
    return ksv::platform::Utf8ToAnsi(*value);
}

std::optional<std::string> OurSet(const std::string& bytes, const Write& write) {
    ksv::FileText file = Decode(bytes);
    auto updated = ksv::profile::SetValue(file.text, write.section, write.key,
                                          ksv::ToFileText(file.encoding, write.value), "\r\n");
    if (!updated) {
        return std::nullopt;
    }
    file.text = std::move(*updated);
    return ksv::EncodeFileText(file);
}

class Files {
  public:
    Files() : dir_(fs::temp_directory_path() / "ksv profile differential") {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Files() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // A new file for every use: the system caches what it has read.
    fs::path Make(const std::optional<std::string>& content) {
        const fs::path path = dir_ / ("f" + std::to_string(++count_) + ".ini");
        if (content) {
            std::ofstream(path, std::ios::binary) << *content;
        }
        return path;
    }

  private:
    fs::path dir_;
    int count_ = 0;
};

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<std::string> SystemGet(const fs::path& path, const Query& query, DWORD size) {
    static const char kAbsent[] =
        "\x01"
        "absent";
    std::vector<char> buffer(size + 1, '\0');
    GetPrivateProfileStringA(query.section, query.key, kAbsent, buffer.data(), size,
                             path.string().c_str());
    const std::string value = buffer.data();
    if (value == kAbsent) {
        return std::nullopt;
    }
    return value;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// What a file says, apart from spacing, line ends and where a new line goes
// among its neighbours: each section with its sorted non-blank lines,
// trimmed, with the blanks around "=" dropped.
std::string Meaning(const std::optional<std::string>& content) {
    if (!content) {
        return "<no file>";
    }
    // UTF-16 is compared as text, after the encoding it is in.
    const ksv::FileText file = Decode(*content);
    std::string text = file.text;
    std::string out;
    if (file.encoding != ksv::TextEncoding::Ansi) {
        out = file.encoding == ksv::TextEncoding::Utf16Le   ? "utf-16le:"
              : file.encoding == ksv::TextEncoding::Utf16Be ? "utf-16be:"
                                                            : "utf-8:";
        if (text.starts_with("\xEF\xBB\xBF")) {
            text.erase(0, 3);
        }
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> sections{{"", {}}};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            sections.push_back({line, {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos && line.front() != ';') {
            line = Trim(line.substr(0, equals)) + "=" + Trim(line.substr(equals + 1));
        }
        sections.back().second.push_back(line);
    }
    for (auto& [name, entries] : sections) {
        std::sort(entries.begin(), entries.end());
        out += name;
        for (const std::string& entry : entries) {
            out += "|" + entry;
        }
        out += "|";
    }
    return out;
}

std::string Show(const std::optional<std::string>& value) {
    return value ? "\"" + *value + "\"" : "<absent>";
}

TEST(ProfileDifferentialTest, OurReaderAndWriterAgreeWithTheSystem) {
    Files files;
    int cases = 0;
    std::set<std::string> differences;
    const auto compare = [&](const std::string& id, const std::string& ours,
                             const std::string& system) {
        ++cases;
        if (ours == system) {
            return;
        }
        differences.insert(id);
        const auto deliberate = kDeliberate.find(id);
        if (deliberate != kDeliberate.end()) {
            std::printf("deliberate: %s: ours %s, system %s (%s)\n", id.c_str(), ours.c_str(),
                        system.c_str(), deliberate->second.c_str());
        } else {
            ADD_FAILURE() << id << ": ours " << ours << ", system " << system;
        }
    };

    for (const Content& content : Contents()) {
        const std::string text = content.text.value_or("");
        const fs::path path = files.Make(content.text);
        for (const Query& query : kQueries) {
            compare(std::string(content.name) + " / get " + query.section + " " + query.key,
                    Show(OurGet(text, query.section, query.key)),
                    Show(SystemGet(path, query, 4096)));
        }
        // As the program reads: section "ksv", a default, a 254-byte buffer.
        for (const char* key : {"title", "minutes"}) {
            ksv::SettingsFile settings(path);
            const auto system = SystemGet(path, {"ksv", key}, 254);
            compare(std::string(content.name) + " / read ksv " + key,
                    Show(ksv::platform::Utf8ToAnsi(settings.Read().ReadSetting(key, "default"))),
                    Show(system.value_or("default")));
        }
        for (const Write& write : kWrites) {
            const std::string id = std::string(content.name) + " / write " + write.section + " " +
                                   write.key + "=" + write.value;
            const auto ours = OurSet(text, write);
            const std::optional<std::string> oursFile =
                ours ? ours : content.text;  // nothing to change: the file stays as it was
            const fs::path systemPath = files.Make(content.text);
            WritePrivateProfileStringA(write.section, write.key, write.value,
                                       systemPath.string().c_str());
            compare(id, Meaning(oursFile), Meaning(ReadFile(systemPath)));
            // Which of several equal keys took the value shows when read back.
            compare(id + " read back",
                    Show(OurGet(oursFile.value_or(""), write.section, write.key)),
                    Show(SystemGet(systemPath, {write.section, write.key}, 4096)));
        }
    }

    for (const auto& [id, reason] : kDeliberate) {
        EXPECT_TRUE(differences.count(id) == 1) << "no longer differs: " << id;
    }
    std::printf("%d cases, %zu differences, %zu of them deliberate\n", cases, differences.size(),
                kDeliberate.size());
}

}  // namespace
