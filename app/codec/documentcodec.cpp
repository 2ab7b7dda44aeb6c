#include "documentcodec.h"

#include "resources.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <iconv.h>

#include <cerrno>

namespace vorn {

namespace {

constexpr char kCodePage932[] = "CP932";

// Converts with iconv; nothing when a sequence is invalid or cannot be represented.
std::optional<QByteArray> Iconv(const char* to, const char* from, const QByteArray& in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    QByteArray out;
    out.resize(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                const qsizetype used = outPtr - out.data();
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = static_cast<size_t>(out.size() - used);
                continue;
            }
            ok = false;
            break;
        }
    }
    if (ok && iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        ok = false;
    }
    const qsizetype used = outPtr - out.data();
    iconv_close(cd);
    if (!ok) {
        return std::nullopt;
    }
    out.truncate(used);
    return out;
}

std::optional<QString> Decode(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(
        encoding, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

std::optional<QByteArray> Encode(QStringConverter::Encoding encoding, const QString& text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        return std::nullopt;
    }
    return bytes;
}

bool StartsWith(const QByteArray& bytes, const char* mark, qsizetype n)
{
    return bytes.size() >= n && bytes.startsWith(QByteArrayView(mark, n));
}

} // namespace

DecodedText DecodeDocumentBytes(const QByteArray& bytes)
{
    DecodedText result;
    std::optional<QString> text;
    if (StartsWith(bytes, "\xFF\xFE", 2) && bytes.size() % 2 == 0
        && (text = Decode(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2)))) {
        result.encoding = TextEncoding::Utf16LE;
    } else if (StartsWith(bytes, "\xFE\xFF", 2) && bytes.size() % 2 == 0
        && (text = Decode(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2)))) {
        result.encoding = TextEncoding::Utf16BE;
    } else if (bytes.contains('\0')) {
        result.encoding = TextEncoding::Binary;
    } else if (StartsWith(bytes, "\xEF\xBB\xBF", 3)
        && (text = Decode(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3)))) {
        result.encoding = TextEncoding::Utf8Bom;
    } else if ((text = Decode(QStringConverter::Utf8, bytes))) {
        result.encoding = TextEncoding::Utf8;
    } else if (const auto utf8 = Iconv("UTF-8", kCodePage932, bytes)) {
        text = QString::fromUtf8(*utf8);
        result.encoding = TextEncoding::Cp932;
    } else {
        result.encoding = TextEncoding::Binary;
    }
    if (result.encoding == TextEncoding::Binary) {
        text = QString::fromLatin1(bytes);
    }
    QString decoded = std::move(*text);
    const qsizetype crlfCount = decoded.count(QLatin1String("\r\n"));
    const qsizetype lfCount = decoded.count(QLatin1Char('\n'));
    // The file's line end is CR LF when at least half of its line feeds follow a carriage return:
    // at a tie CR LF wins, since a file with CR LF at all was most likely written on Windows and had
    // lines added by tools that write bare LF.
    result.crlf = crlfCount > 0 && crlfCount * 2 >= lfCount;
    if (crlfCount > 0) {
        decoded.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    }
    result.text = std::move(decoded);
    return result;
}

std::optional<QByteArray> EncodeDocumentText(const QString& text, TextEncoding encoding, bool crlf)
{
    QString lines = text;
    if (crlf) {
        lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    }
    switch (encoding) {
    case TextEncoding::Utf8:
        return Encode(QStringConverter::Utf8, lines);
    case TextEncoding::Utf8Bom: {
        auto body = Encode(QStringConverter::Utf8, lines);
        if (!body) {
            return std::nullopt;
        }
        return QByteArray("\xEF\xBB\xBF") + *body;
    }
    case TextEncoding::Utf16LE: {
        auto body = Encode(QStringConverter::Utf16LE, lines);
        if (!body) {
            return std::nullopt;
        }
        return QByteArray("\xFF\xFE", 2) + *body;
    }
    case TextEncoding::Utf16BE: {
        auto body = Encode(QStringConverter::Utf16BE, lines);
        if (!body) {
            return std::nullopt;
        }
        return QByteArray("\xFE\xFF", 2) + *body;
    }
    case TextEncoding::Cp932: {
        const auto utf8 = Encode(QStringConverter::Utf8, lines);
        if (!utf8) {
            return std::nullopt;
        }
        return Iconv(kCodePage932, "UTF-8", *utf8);
    }
    case TextEncoding::Binary:
        for (const QChar c : lines) {
            if (c.unicode() > 0xFF) {
                return std::nullopt;
            }
        }
        return lines.toLatin1();
    }
    return std::nullopt;
}

QString EncodingDisplayName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8 BOM");
    case TextEncoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case TextEncoding::Cp932:
        return QStringLiteral("Shift_JIS");
    case TextEncoding::Binary:
        return LoadStringResource(IDS_BINARY_ENCODING_NAME);
    }
    return {};
}

} // namespace vorn
