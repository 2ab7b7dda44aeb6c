// The resource tables: every string the program loads by id has its text, every command on a
// toolbar has its prompt, tooltip and image, and the icons resolve to compiled-in files.
#include "resources.h"

#include <QFile>
#include <QTest>

using namespace vorn;

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyLoadedStringHasText_data();
    void everyLoadedStringHasText();
    void toolbarButtons();
    void icons();
    void menuCommandsHavePromptsExceptTheSimulation();
};

void TestResources::everyLoadedStringHasText_data()
{
    QTest::addColumn<int>("id");
    // The ids the program loads by name (the shell's own texts, the audio status texts, the
    // frequency-response message, the refusal of a number, the settings key).
    const std::pair<const char*, int> ids[] = {
        { "IDR_MAINFRAME", IDR_MAINFRAME },
        { "IDR_VornTYPE", IDR_VornTYPE },
        { "AFX_IDS_APP_TITLE", AFX_IDS_APP_TITLE },
        { "AFX_IDS_IDLEMESSAGE", AFX_IDS_IDLEMESSAGE },
        { "AFX_IDP_PARSE_REAL", AFX_IDP_PARSE_REAL },
        { "IDS_FREQ_RESPONSE_TEXT", IDS_FREQ_RESPONSE_TEXT },
        { "IDS_AUDIO_OPEN_FAILED", IDS_AUDIO_OPEN_FAILED },
        { "IDS_AUDIO_SERVER_LOST", IDS_AUDIO_SERVER_LOST },
        { "IDS_ASK_TO_SAVE", IDS_ASK_TO_SAVE },
        { "IDS_FAILED_TO_OPEN", IDS_FAILED_TO_OPEN },
        { "IDS_FAILED_TO_SAVE", IDS_FAILED_TO_SAVE },
        { "IDS_ENCODING_LOSS", IDS_ENCODING_LOSS },
        { "IDS_TEXT_NOT_FOUND", IDS_TEXT_NOT_FOUND },
        { "IDS_NO_PRINTER", IDS_NO_PRINTER },
        { "IDS_RECENT_FILE_PLACEHOLDER", IDS_RECENT_FILE_PLACEHOLDER },
        { "IDS_BINARY_ENCODING_NAME", IDS_BINARY_ENCODING_NAME },
        { "IDS_FIND_CAPTION", IDS_FIND_CAPTION },
        { "IDS_REPLACE_CAPTION", IDS_REPLACE_CAPTION },
        { "IDS_FIND_WHAT", IDS_FIND_WHAT },
        { "IDS_REPLACE_WITH", IDS_REPLACE_WITH },
        { "IDS_MATCH_CASE", IDS_MATCH_CASE },
        { "IDS_DIRECTION", IDS_DIRECTION },
        { "IDS_DIRECTION_UP", IDS_DIRECTION_UP },
        { "IDS_DIRECTION_DOWN", IDS_DIRECTION_DOWN },
        { "IDS_FIND_NEXT_BUTTON", IDS_FIND_NEXT_BUTTON },
        { "IDS_REPLACE_BUTTON", IDS_REPLACE_BUTTON },
        { "IDS_REPLACE_ALL_BUTTON", IDS_REPLACE_ALL_BUTTON },
        { "IDS_CANCEL_BUTTON", IDS_CANCEL_BUTTON },
        { "IDS_DOCUMENT_FILTER", IDS_DOCUMENT_FILTER },
        { "IDS_IS_A_FOLDER", IDS_IS_A_FOLDER },
        { "IDS_REGISTRY_KEY", IDS_REGISTRY_KEY },
        { "AFX_IDS_MDICHILD", AFX_IDS_MDICHILD },
    };
    for (const auto& [name, id] : ids) {
        QTest::newRow(name) << id;
    }
}

void TestResources::everyLoadedStringHasText()
{
    QFETCH(int, id);
    QVERIFY(!LoadStringResource(id).trimmed().isEmpty());
}

void TestResources::toolbarButtons()
{
    const std::vector<int>& buttons = FindToolBar(IDR_MAINFRAME);
    QCOMPARE(buttons.size(), std::size_t { 10 });
    for (const int id : buttons) {
        if (id == ID_SEPARATOR) {
            continue;
        }
        QVERIFY2(!CommandPrompt(id).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY2(!CommandTooltip(id).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY2(QFile::exists(ToolBarButtonImagePath(id)), qPrintable(QString::number(id)));
    }
}

void TestResources::icons()
{
    for (const int id : { IDR_MAINFRAME, IDR_VornTYPE }) {
        QVERIFY(QFile::exists(IconResourcePath(id)));
    }
    QVERIFY(IconResourcePath(IDD_DRAW).isEmpty());
}

void TestResources::menuCommandsHavePromptsExceptTheSimulation()
{
    const std::vector<int> simulation { ID_RUN, ID_STOP, ID_DRAW, ID_SETTINGS, ID_FREQ_RESPONSE };
    for (const int menuId : { IDR_MAINFRAME, IDR_VornTYPE }) {
        const std::vector<MenuItemTemplate>* menu = FindMenuTemplate(menuId);
        QVERIFY(menu != nullptr);
        std::vector<const MenuItemTemplate*> pending;
        for (const MenuItemTemplate& item : *menu) {
            pending.push_back(&item);
        }
        while (!pending.empty()) {
            const MenuItemTemplate* item = pending.back();
            pending.pop_back();
            for (const MenuItemTemplate& child : item->items) {
                pending.push_back(&child);
            }
            if (item->kind != MenuItemTemplate::Command) {
                continue;
            }
            const bool isSimulation
                = std::find(simulation.begin(), simulation.end(), item->id) != simulation.end();
            QVERIFY2(CommandPrompt(item->id).isEmpty() == isSimulation, qPrintable(item->text));
        }
    }
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
