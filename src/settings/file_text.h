#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ksv {

// How a settings file's bytes are text. Most files are in the system's ANSI
// code page; Notepad's "Unicode" saves UTF-16 with a byte-order mark, which
// the Windows profile functions read and write as UTF-16, and so do we; its
// "UTF-8" saves (before Windows 10 1903) start with the UTF-8 mark.
enum class TextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// A settings file as the profile reader and writer see it: UTF-16 as UTF-8
// (byte-order mark included), losing nothing: unpaired surrogates stay in
// generalised UTF-8 and a last odd byte is kept aside. Others as they are.
struct FileText {
    TextEncoding encoding = TextEncoding::Ansi;
    std::string text;
    std::string oddByte;
};

// The file's text, or nothing for an encoding we do not handle (UTF-32, or
// UTF-16 without a byte-order mark), which must never be written to.
std::optional<FileText> DecodeFileText(std::string_view bytes);

// The file's bytes again: DecodeFileText's input for text it gave.
std::string EncodeFileText(const FileText& file);

// Names and values between the program's UTF-8 and the file's text.
std::string ToFileText(TextEncoding encoding, std::string_view utf8);
std::string FromFileText(TextEncoding encoding, std::string_view text);

// The longest prefix of a value in the file's text, at most `maxUnits` of the
// file's own (bytes, or UTF-16 units), that does not cut a character.
std::string CutFileText(TextEncoding encoding, std::string_view text, std::size_t maxUnits);

}  // namespace ksv
