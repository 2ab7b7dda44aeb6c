// A document's bytes, as the program opens any file. Invariants, for any bytes:
// - they decode to some text and encoding, and that text encodes back in that encoding;
// - a file whose lines all end alike (no CR LF, or CR LF at every line feed) comes back byte for
//   byte, except that a Shift_JIS character with two codes is written with the one Windows
//   writes (see documentcodec.h);
// - whatever the line ends, the bytes written read back in the same encoding with the same line
//   end and the same text; the exceptions (Shift_JIS with those characters, binary files and
//   carriage returns before line feeds in files of mixed line ends) are said below.
#include "documentcodec.h"

#include "fuzzcheck.h"

#include <cstdint>

using vorn::fuzz::Check;

namespace {

// Whether the lines of the file end alike, counted in its own code units: bytes, or the 16-bit
// units after a UTF-16 byte-order mark.
bool LinesEndAlike(const QByteArray& bytes, vorn::TextEncoding encoding)
{
    const bool utf16
        = encoding == vorn::TextEncoding::Utf16LE || encoding == vorn::TextEncoding::Utf16BE;
    const bool bigEndian = encoding == vorn::TextEncoding::Utf16BE;
    const qsizetype width = utf16 ? 2 : 1;
    const auto unit = [&](qsizetype i) -> unsigned {
        const auto at
            = [&](qsizetype k) -> unsigned { return static_cast<unsigned char>(bytes[k]); };
        if (!utf16) {
            return at(i);
        }
        return bigEndian ? (at(i) << 8U) | at(i + 1) : (at(i + 1) << 8U) | at(i);
    };
    qsizetype lineFeeds = 0;
    qsizetype afterReturn = 0;
    for (qsizetype i = utf16 ? 2 : 0; i + width <= bytes.size(); i += width) {
        if (unit(i) == '\n') {
            ++lineFeeds;
            afterReturn += i >= width && unit(i - width) == '\r' ? 1 : 0;
        }
    }
    return afterReturn == 0 || afterReturn == lineFeeds;
}

// The text with every run of carriage returns before a line feed taken out. By hand: a regular
// expression refuses text with a lone surrogate, which UTF-16 files may hold.
QString WithoutReturnsBeforeLineFeeds(const QString& text)
{
    QString kept;
    qsizetype returns = 0;
    for (const QChar c : text) {
        if (c == u'\r') {
            ++returns;
            continue;
        }
        if (c != u'\n') {
            kept += QString(returns, u'\r');
        }
        returns = 0;
        kept += c;
    }
    return kept + QString(returns, u'\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const vorn::DecodedText decoded = vorn::DecodeDocumentBytes(bytes);
    const std::optional<QByteArray> written
        = vorn::EncodeDocumentText(decoded.text, decoded.encoding, decoded.crlf);
    Check(written.has_value(), "the text read encodes back in its own encoding");

    const bool alike = LinesEndAlike(bytes, decoded.encoding);
    // Shift_JIS characters with two codes are written with the one Windows writes (a carriage
    // return or line feed is never part of a Shift_JIS character, so only line ends and those
    // characters may differ). The bytes written may then even be valid UTF-8, and read so, as a
    // Shift_JIS text that the user types may be.
    bool recoded = false;
    if (decoded.encoding == vorn::TextEncoding::Cp932) {
        QByteArray sameCodes = bytes;
        sameCodes.replace("\r\n", "\n");
        if (decoded.crlf) {
            sameCodes.replace("\n", "\r\n");
        }
        recoded = *written != sameCodes;
    }
    if (alike) {
        Check(
            *written == bytes || recoded, "a file whose lines end alike comes back byte for byte");
    }
    // A binary file is not text: with its line ends made alike it may change length and read as
    // another encoding (one that starts with a UTF-16 mark, for one), as after any edit.
    if (!recoded && (alike || decoded.encoding != vorn::TextEncoding::Binary)) {
        const vorn::DecodedText again = vorn::DecodeDocumentBytes(*written);
        Check(
            again.encoding == decoded.encoding, "the bytes written read back in the same encoding");
        Check(again.crlf == decoded.crlf, "the bytes written read back with the same line end");
        // Where the lines end alike, the text is the same; otherwise carriage returns left before
        // a line feed (CR CR LF in a file of LF) are written before it and read as part of a
        // line end, which the editor shows them as anyway.
        Check(again.text == decoded.text
                || (!alike
                    && WithoutReturnsBeforeLineFeeds(again.text)
                        == WithoutReturnsBeforeLineFeeds(decoded.text)),
            "the bytes written read back as the same text");
    }
    return 0;
}
