#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vorn {

// How a document's bytes are read as text, so that its edited text can be written back the same
// way. Binary files are read byte for byte as Latin-1 characters.
enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Cp932, Binary };

struct DecodedText
{
    TextEncoding encoding = TextEncoding::Utf8;
    bool crlf = false; // the file separates its lines with CR LF
    QString text; // lines separated by '\n'
};

// Reads a file's bytes: UTF-16 with a byte-order mark, UTF-8 (with or without a mark), then the
// Japanese Windows code page 932 (Shift_JIS); anything else, and any file holding a NUL byte, is
// binary. CR LF becomes '\n' when the file's lines end so.
DecodedText DecodeDocumentBytes(const QByteArray& bytes);

// Writes text ('\n' line breaks) in the encoding, with CR LF line ends when crlf is set. Returns
// nothing when the encoding cannot hold a character of the text. A Shift_JIS character with two
// codes (the NEC and IBM extensions: ≒ is 81 E0 and 87 90, 纊 is FA 5C and ED 40) is written
// with the one Windows writes, so a file with the other code comes back with that code.
std::optional<QByteArray> EncodeDocumentText(const QString& text, TextEncoding encoding, bool crlf);

// A short name of the encoding for messages ("UTF-8", "Shift_JIS", ...).
QString EncodingDisplayName(TextEncoding encoding);

} // namespace vorn
