// Documents with real files: exact round trips whatever the bytes, edits saved in the encoding
// they were read in, the save prompts, atomic saves, recent files across a restart, start-up with
// a file argument, and printing the text to a PDF file.

#include "childframe.h"
#include "documentcodec.h"
#include "mainframe.h"
#include "resources.h"
#include "vornapp.h"
#include "vorndoc.h"
#include "vornview.h"

#include "apptestcase.h"
#include "modalscript.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>

#include <memory>

using namespace vorn;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) {
            bytes.append(char(b ^ (round * 0x35)));
        }
    }
    return bytes;
}

// The text of a PDF file, as pdftotext reads it.
QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
        { QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-") });
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return QStringLiteral("<pdftotext failed>");
    }
    // The font maps some ideographs to their radical code points; compatibility normalisation
    // brings them back.
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
}

// The first item of a combo box whose text contains the part.
int itemContaining(const QComboBox* combo, const QString& part)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).contains(part)) {
            return i;
        }
    }
    return -1;
}

void appendText(CVornView* view, const QString& text)
{
    QTextCursor cursor = view->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    view->setTextCursor(cursor);
}

} // namespace

class TestDocuments : public AppTestCase
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_files;

    QString file(const QString& name) const { return m_files->filePath(name); }

private slots:
    void init()
    {
        m_files = std::make_unique<QTemporaryDir>();
        QVERIFY(m_files->isValid());
        QVERIFY(startApp());
    }

    void cleanup()
    {
        stopApp();
        m_files.reset();
    }

    void unchangedDocumentSavesIdenticalBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shownText");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("ascii, no final newline") << QByteArray("plain") << "plain";
        QTest::newRow("utf-8 with LF")
            << QByteArray("h\xC3\xA9llo\n\xE6\x97\xA5\xE6\x9C\xAC\n") << "héllo\n日本\n";
        QTest::newRow("utf-8 with CR LF") << QByteArray("a\r\nb\r\n") << "a\nb\n";
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBFtext") << "text";
        QTest::newRow("two marks")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << QStringLiteral("\uFEFFx");
        // 日本語テキスト, then 表 and ソ whose second byte is a backslash.
        QTest::newRow("cp932") << QByteArray(
            "\x93\xFA\x96\x7B\x8C\xEA\x83\x65\x83\x4C\x83\x58\x83\x67\r\n\x95\x5C\x83\x5C\r\n")
                               << "日本語テキスト\n表ソ\n";
        QTest::newRow("cp932 half-width kana") << QByteArray("\xB1\xB2\xB3") << "ｱｲｳ";
        QTest::newRow("utf-16le") << QByteArray("\xFF\xFE"
                                                "a\0\x2C\x67",
            6) << "a本";
        QTest::newRow("lone CR and mixed ends") << QByteArray("a\rb\nc\r\nd") << QString();
        QTest::newRow("nbsp and separators") << QByteArray("x\xC2\xA0y\xE2\x80\xA8z") << QString();
        QTest::newRow("binary") << allByteValues() << QString();
        QTest::newRow("NUL in text") << QByteArray("abc\0def", 7) << QString();
        QTest::newRow("invalid utf-8 and cp932") << QByteArray("\x80\xFF\xFE\xA0\xFD") << QString();
    }

    void unchangedDocumentSavesIdenticalBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shownText);
        writeAll(file("in.txt"), bytes);
        CVornDoc* doc = m_app->OpenDocumentFile(file("in.txt"));
        QVERIFY(doc);
        QVERIFY(!doc->IsModified());
        if (!shownText.isNull()) {
            QCOMPARE(doc->Text(), shownText);
            QCOMPARE(frame()->GetActiveView()->toPlainText(), shownText);
        }
        QVERIFY(doc->DoSave(file("out.txt")));
        QCOMPARE(readAll(file("out.txt")), bytes);
        // Saving over the file itself keeps it too.
        QVERIFY(doc->DoFileSave());
        QCOMPARE(readAll(file("out.txt")), bytes);
    }

    void editedTextKeepsItsEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("appended");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("utf-8") << QByteArray("abc\n") << "追加\n"
                               << QByteArray("abc\n\xE8\xBF\xBD\xE5\x8A\xA0\n");
        QTest::newRow("cp932 with CR LF") << QByteArray("\x93\xFA\r\n") << "追加\n"
                                          << QByteArray("\x93\xFA\r\n\x92\xC7\x89\xC1\r\n");
        QTest::newRow("utf-8 with mark")
            << QByteArray("\xEF\xBB\xBFz") << "!" << QByteArray("\xEF\xBB\xBFz!");
        QTest::newRow("binary") << QByteArray("\x01\x02\xFF", 3) << "A"
                                << QByteArray("\x01\x02\xFF"
                                              "A",
                                       4);
        QTest::newRow("new document") << QByteArray() << "新\n" << QByteArray("\xE6\x96\xB0\n");
    }

    void editedTextKeepsItsEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, appended);
        QFETCH(QByteArray, expected);
        writeAll(file("in.txt"), bytes);
        CVornDoc* doc = m_app->OpenDocumentFile(file("in.txt"));
        QVERIFY(doc);
        appendText(frame()->GetActiveView(), appended);
        QVERIFY(doc->IsModified());
        QVERIFY(doc->DoFileSave());
        QVERIFY(!doc->IsModified());
        QCOMPARE(readAll(file("in.txt")), expected);
    }

    void untouchedNewDocumentSavesEmpty()
    {
        CVornDoc* doc = frame()->GetActiveDocument();
        QVERIFY(doc);
        // Simulation commands neither touch nor mark the text.
        QVERIFY(frame()->SendCommand(32778));
        QVERIFY(!doc->IsModified());
        QVERIFY(doc->DoSave(file("new.txt")));
        QCOMPARE(QFileInfo(file("new.txt")).size(), 0);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - new.txt"));
    }

    void textTheEncodingCannotHoldAsksFirst()
    {
        const QByteArray original("\x93\xFA\x96\x7B");
        writeAll(file("sjis.txt"), original);
        CVornDoc* doc = m_app->OpenDocumentFile(file("sjis.txt"));
        QVERIFY(doc);
        QCOMPARE(doc->Encoding(), TextEncoding::Cp932);
        appendText(frame()->GetActiveView(), QStringLiteral("\U0001F600"));

        // Cancel: nothing is written.
        auto seen = pressOnNextMessageBox(QMessageBox::Cancel);
        QVERIFY(!doc->DoFileSave());
        QVERIFY(seen->finished());
        QCOMPARE(readAll(file("sjis.txt")), original);
        QVERIFY(doc->IsModified());

        // Yes: the text goes out as UTF-8.
        seen = pressOnNextMessageBox(QMessageBox::Yes);
        QVERIFY(doc->DoFileSave());
        QVERIFY(seen->finished());
        QCOMPARE(readAll(file("sjis.txt")), QByteArray("\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80"));

        // The document is UTF-8 from then on: the next edit is saved as UTF-8 without asking.
        QCOMPARE(doc->Encoding(), TextEncoding::Utf8);
        appendText(frame()->GetActiveView(), QStringLiteral("語"));
        QVERIFY(doc->IsModified());
        seen = pressOnNextMessageBox(QMessageBox::Cancel);
        QVERIFY(doc->DoFileSave());
        QVERIFY(!seen->finished());
        QCOMPARE(readAll(file("sjis.txt")),
            QByteArray("\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80\xE8\xAA\x9E"));
    }

    void closingAModifiedDocumentAsks()
    {
        writeAll(file("doc.txt"), "old");
        CVornDoc* doc = m_app->OpenDocumentFile(file("doc.txt"));
        QVERIFY(doc);
        CChildFrame* window = CChildFrame::FrameOf(doc->Views().front());
        appendText(doc->Views().front(), QStringLiteral(" new"));

        QString question;
        auto seen = pressOnNextMessageBox(QMessageBox::Cancel, &question);
        QVERIFY(!window->close());
        QVERIFY(seen->finished());
        QCOMPARE(question, QStringLiteral("doc.txt への変更を保存しますか?"));
        QVERIFY(window->isVisible());
        QCOMPARE(readAll(file("doc.txt")), QByteArray("old"));

        seen = pressOnNextMessageBox(QMessageBox::Yes);
        QVERIFY(window->close());
        QVERIFY(seen->finished());
        QCOMPARE(readAll(file("doc.txt")), QByteArray("old new"));
    }

    void exitAsksForEachModifiedDocumentAndCancelKeepsAll()
    {
        CVornDoc* first = frame()->GetActiveDocument();
        appendText(first->Views().front(), QStringLiteral("one"));
        CVornDoc* second = m_app->OnFileNew();
        appendText(second->Views().front(), QStringLiteral("two"));

        // No for the first, Cancel for the second: the program stays with both.
        QStringList questions(2);
        ModalScript script({ ModalScript::pressMessageBox(QMessageBox::No, &questions[0]),
            ModalScript::pressMessageBox(QMessageBox::Cancel, &questions[1]) });
        QVERIFY(!frame()->close());
        QVERIFY(script.finished());
        QCOMPARE(questions,
            QStringList({ QStringLiteral("Vorn1 への変更を保存しますか?"),
                QStringLiteral("Vorn2 への変更を保存しますか?") }));
        QCOMPARE(m_app->Documents().size(), size_t(2));
        QVERIFY(frame()->isVisible());
    }

    void failedSaveSaysWhyAndKeepsTheOldFile()
    {
        QDir(m_files->path()).mkdir(QStringLiteral("target"));
        writeAll(file("target/keep.txt"), "keep");
        CVornDoc* doc = frame()->GetActiveDocument();
        appendText(doc->Views().front(), QStringLiteral("text"));
        QString message;
        // A directory stands where the file should go: the rename fails.
        auto seen = pressOnNextMessageBox(QMessageBox::Ok, &message);
        QVERIFY(!doc->DoSave(file("target")));
        QVERIFY(seen->finished());
        QVERIFY(message.startsWith(QStringLiteral("ドキュメント ")));
        QVERIFY(message.contains(QStringLiteral("を保存できませんでした。")));
        QVERIFY(doc->IsModified());
        QCOMPARE(readAll(file("target/keep.txt")), QByteArray("keep"));
        // No temporary file is left behind.
        QCOMPARE(QDir(m_files->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void recentFilesSurviveARestart()
    {
        QStringList opened;
        for (const char* name : { "a.txt", "b.txt", "c.txt", "d.txt", "e.txt" }) {
            writeAll(file(name), name);
            QVERIFY(m_app->OpenDocumentFile(file(name)));
            opened.prepend(QFileInfo(file(name)).absoluteFilePath());
        }
        const QStringList expected = opened.mid(0, 4);
        QCOMPARE(m_app->RecentFiles(), expected);

        stopApp();
        QVERIFY(startApp());
        QCOMPARE(m_app->RecentFiles(), expected);
        QAction* first = frame()->CommandAction(57616);
        QCOMPARE(first->text(), QStringLiteral("&1 ") + expected[0]);
        frame()->UpdateCommandUI();
        QVERIFY(first->isEnabled());
        QVERIFY(frame()->CommandAction(57619)->isVisible());

        // Choosing an entry opens that file.
        QVERIFY(frame()->SendCommand(57617));
        QCOMPARE(frame()->GetActiveDocument()->GetPathName(), expected[1]);
        const QString configFile
            = QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                  .filePath(QStringLiteral("アプリケーション ウィザードで生成されたローカル "
                                           "アプリケーション/Vorn.conf"));
        QVERIFY2(QFile::exists(configFile), qPrintable(configFile));
    }

    void startsWithTheFileNamedOnTheCommandLine()
    {
        writeAll(file("arg.txt"), "from the command line");
        stopApp();
        QVERIFY(startApp({ QStringLiteral("vorn"), file("arg.txt") }));
        QCOMPARE(frame()->MdiArea()->subWindowList().size(), 1);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - arg.txt"));
        QCOMPARE(frame()->GetActiveView()->toPlainText(), QStringLiteral("from the command line"));
    }

    void startUpEndsWhenTheFileCannotBeOpened()
    {
        stopApp();
        m_app = std::make_unique<CVornApp>();
        QString message;
        auto seen = pressOnNextMessageBox(QMessageBox::Ok, &message);
        QVERIFY(!m_app->InitInstance({ QStringLiteral("vorn"), file("missing.txt") }));
        QVERIFY(seen->finished());
        QVERIFY(message.contains(QStringLiteral("を開けませんでした。")));
    }

    void printsTheTextToPdf()
    {
        CVornView* view = frame()->GetActiveView();
        view->setPlainText(QStringLiteral("Vorn print check\n日本語の行\nthird line"));
        QVERIFY(frame()->SendCommand(32778)); // a plot exists, and must not be printed
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file("out.pdf"));
        view->PrintText(&printer);
        QVERIFY(readAll(file("out.pdf")).startsWith("%PDF"));

        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"),
            { QStringLiteral("-enc"), QStringLiteral("UTF-8"), file("out.pdf"),
                QStringLiteral("-") });
        QVERIFY(pdftotext.waitForFinished(30000));
        QCOMPARE(pdftotext.exitCode(), 0);
        // The font maps some ideographs to their radical code points; compatibility
        // normalisation brings them back.
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput())
                                 .normalized(QString::NormalizationForm_KC);
        QVERIFY2(text.contains(QStringLiteral("Vorn print check")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("日本語の行")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("third line")), qPrintable(text));
    }

    void printSetupChoosesWhereAndHowPrintDirectPrints()
    {
        CVornView* view = frame()->GetActiveView();
        view->setPlainText(QStringLiteral("Vorn print setup check\n二行目"));
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            // Nothing chosen yet and no printer on the system: Print direct says so.
            QString said;
            auto seen = pressOnNextMessageBox(QMessageBox::Ok, &said);
            QVERIFY(frame()->SendCommand(ID_FILE_PRINT_DIRECT));
            QVERIFY(seen->finished());
            QVERIFY2(
                said.startsWith(QStringLiteral("プリンターが見つかりません")), qPrintable(said));
        }

        // Print setup: a PDF file as the printer, and its page A5 landscape (in the dialog's
        // printer properties).
        const QString pdf = file("setup.pdf");
        QString caption;
        QString okText;
        ModalScript script({
            [&](QWidget* modal) {
                auto* dialog = qobject_cast<QPrintDialog*>(modal);
                if (dialog == nullptr) {
                    return false;
                }
                caption = dialog->windowTitle();
                okText
                    = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->text();
                auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
                printers->setCurrentIndex(itemContaining(printers, QStringLiteral("PDF")));
                dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
                ModalScript::press(dialog->findChild<QPushButton*>(QStringLiteral("properties")));
                return true;
            },
            [](QWidget* modal) {
                if (qstrcmp(modal->metaObject()->className(), "QPrintPropertiesDialog") != 0) {
                    return false;
                }
                auto* size = modal->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
                size->setCurrentIndex(itemContaining(size, QStringLiteral("A5")));
                modal->findChild<QRadioButton*>(QStringLiteral("landscape"))->click();
                ModalScript::press(
                    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
                return true;
            },
            [](QWidget* modal) {
                auto* dialog = qobject_cast<QPrintDialog*>(modal);
                if (dialog == nullptr) {
                    return false;
                }
                ModalScript::press(
                    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
                return true;
            },
        });
        QVERIFY(frame()->SendCommand(ID_FILE_PRINT_SETUP));
        QVERIFY(script.finished());
        QCOMPARE(caption, QStringLiteral("プリンターの設定"));
        QCOMPARE(okText, QStringLiteral("OK"));
        // Setting up prints nothing.
        QVERIFY(!QFile::exists(pdf));

        // Print direct prints there at once, on that page.
        QVERIFY(frame()->SendCommand(ID_FILE_PRINT_DIRECT));
        QVERIFY(readAll(pdf).startsWith("%PDF"));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Vorn print setup check")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("二行目")), qPrintable(text));
        QProcess pdfinfo;
        pdfinfo.start(QStringLiteral("pdfinfo"), { pdf });
        QVERIFY(pdfinfo.waitForFinished(30000));
        const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
        // A5 (420 x 595 points), lying on its side.
        const QRegularExpressionMatch page
            = QRegularExpression(QStringLiteral("Page size: +([\\d.]+) x ([\\d.]+) pts \\(A5\\)"))
                  .match(info);
        QVERIFY2(page.hasMatch(), qPrintable(info));
        QVERIFY(page.captured(1).toDouble() > page.captured(2).toDouble());

        // Print offers the same printer and file.
        QString offered;
        auto seen = onNextModal([&offered](QWidget* modal) {
            offered = modal->findChild<QLineEdit*>(QStringLiteral("filename"))->text();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QVERIFY(frame()->SendCommand(ID_FILE_PRINT));
        QVERIFY(seen->finished());
        QCOMPARE(offered, pdf);
    }
};

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
