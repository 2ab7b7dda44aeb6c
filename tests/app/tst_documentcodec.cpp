// The document codec on its own: which encoding and line end a file's bytes are read as, that
// the text read writes back as the same bytes, and which texts an encoding refuses.
#include "documentcodec.h"

#include <QTest>

using namespace vorn;

Q_DECLARE_METATYPE(vorn::TextEncoding)

class TestDocumentCodec : public QObject
{
    Q_OBJECT

private slots:
    void detectsAndWritesBack_data();
    void detectsAndWritesBack();
    void refusesWhatTheEncodingCannotHold_data();
    void refusesWhatTheEncodingCannotHold();
    void shiftJisCharactersWithTwoCodesTakeWindowsCode();
};

void TestDocumentCodec::detectsAndWritesBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << TextEncoding::Utf8 << false << QString();
    QTest::newRow("utf-8, LF") << QByteArray("\xE6\x97\xA5\n") << TextEncoding::Utf8 << false
                               << QStringLiteral("日\n");
    QTest::newRow("utf-8, CR LF") << QByteArray("a\r\nb\r\n") << TextEncoding::Utf8 << true
                                  << QStringLiteral("a\nb\n");
    // One CR LF among three line feeds is no CR LF file; two of three are.
    QTest::newRow("mostly LF") << QByteArray("a\r\nb\nc\n") << TextEncoding::Utf8 << false
                               << QStringLiteral("a\nb\nc\n");
    QTest::newRow("mostly CR LF") << QByteArray("a\r\nb\r\nc\n") << TextEncoding::Utf8 << true
                                  << QStringLiteral("a\nb\nc\n");
    // As many CR LF as bare LF: the file keeps CR LF, at a tie CR LF wins.
    QTest::newRow("tie") << QByteArray("a\r\nb\nc\r\nd\n") << TextEncoding::Utf8 << true
                         << QStringLiteral("a\nb\nc\nd\n");
    QTest::newRow("one bare LF more than the tie")
        << QByteArray("a\r\nb\nc\r\nd\ne\n") << TextEncoding::Utf8 << false
        << QStringLiteral("a\nb\nc\nd\ne\n");
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBFx") << TextEncoding::Utf8Bom << false
                                << QStringLiteral("x");
    QTest::newRow("utf-16le") << QByteArray("\xFF\xFE\x2C\x67\n\0", 6) << TextEncoding::Utf16LE
                              << false << QStringLiteral("本\n");
    QTest::newRow("utf-16be") << QByteArray("\xFE\xFF\x67\x2C", 4) << TextEncoding::Utf16BE << false
                              << QStringLiteral("本");
    // Odd length after the mark: no UTF-16, and its NUL makes it binary.
    QTest::newRow("odd utf-16le") << QByteArray("\xFF\xFE\x41\0\x42", 5) << TextEncoding::Binary
                                  << false << QString::fromLatin1("\xFF\xFE\x41\0\x42", 5);
    QTest::newRow("cp932") << QByteArray("\x93\xFA\x96\x7B") << TextEncoding::Cp932 << false
                           << QStringLiteral("日本");
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << TextEncoding::Binary << false
                         << QString::fromLatin1("a\0b", 3);
    QTest::newRow("neither utf-8 nor cp932") << QByteArray("\x80\xFD") << TextEncoding::Binary
                                             << false << QString::fromLatin1("\x80\xFD");
}

void TestDocumentCodec::detectsAndWritesBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, encoding);
    QFETCH(bool, crlf);
    QFETCH(QString, text);
    const DecodedText decoded = DecodeDocumentBytes(bytes);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.crlf, crlf);
    QCOMPARE(decoded.text, text);
    // Files with one kind of line end come back byte for byte.
    if (bytes.count("\r\n") == 0 || bytes.count("\r\n") == bytes.count('\n')) {
        const std::optional<QByteArray> written
            = EncodeDocumentText(decoded.text, decoded.encoding, decoded.crlf);
        QVERIFY(written.has_value());
        QCOMPARE(*written, bytes);
    }
}

void TestDocumentCodec::refusesWhatTheEncodingCannotHold_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("held");
    QTest::newRow("cp932, Japanese") << TextEncoding::Cp932 << QStringLiteral("日本語ｱ") << true;
    QTest::newRow("cp932, emoji") << TextEncoding::Cp932 << QStringLiteral("a\U0001F600") << false;
    QTest::newRow("cp932, Hangul") << TextEncoding::Cp932 << QStringLiteral("한") << false;
    QTest::newRow("binary, Latin-1") << TextEncoding::Binary << QStringLiteral("\u00FF") << true;
    QTest::newRow("binary, beyond") << TextEncoding::Binary << QStringLiteral("\u0100") << false;
    QTest::newRow("utf-8, lone surrogate")
        << TextEncoding::Utf8 << QString(QChar(char16_t(0xD800))) << false;
    QTest::newRow("utf-16le, emoji")
        << TextEncoding::Utf16LE << QStringLiteral("\U0001F600") << true;
}

void TestDocumentCodec::refusesWhatTheEncodingCannotHold()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, text);
    QFETCH(bool, held);
    const std::optional<QByteArray> written = EncodeDocumentText(text, encoding, false);
    QCOMPARE(written.has_value(), held);
    if (held) {
        QCOMPARE(DecodeDocumentBytes(*written).text, text);
    }
}

void TestDocumentCodec::shiftJisCharactersWithTwoCodesTakeWindowsCode()
{
    // ≒ in JIS row 2 and in NEC row 13, 纊 in the IBM extension and in the NEC-selected copy of
    // it, ¬ in JIS row 2 and in the IBM extension: the codes of Microsoft's table for code page
    // 932, whose encoder writes the first of each pair but the IBM one of 纊.
    const DecodedText decoded = DecodeDocumentBytes(QByteArray("\x87\x90\xED\x40\xFA\x54\n"));
    QCOMPARE(decoded.encoding, TextEncoding::Cp932);
    QCOMPARE(decoded.text, QStringLiteral("\u2252\u7E8A\uFFE2\n"));
    QCOMPARE(EncodeDocumentText(decoded.text, decoded.encoding, false),
        QByteArray("\x81\xE0\xFA\x5C\x81\xCA\n"));
}

QTEST_GUILESS_MAIN(TestDocumentCodec)
#include "tst_documentcodec.moc"
