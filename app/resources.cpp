#include "resources.h"

#include <map>

namespace vorn {

namespace {

DialogTemplate MakeAboutBox()
{
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.caption = QStringLiteral("バージョン情報 Vorn");
    t.cx = 170;
    t.cy = 62;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    t.fontName = QStringLiteral("MS UI Gothic");
    t.pointSize = 9;
    const unsigned child = WS_CHILD | WS_VISIBLE;
    t.items = {
        { IDC_STATIC, QStringLiteral("static"), QStringLiteral("128"), child | SS_ICON, 14, 14, 21,
            20 },
        { IDC_STATIC, QStringLiteral("static"), QStringLiteral("Vorn, Version 1.0"),
            child | SS_NOPREFIX | WS_GROUP, 42, 14, 114, 8 },
        { IDC_STATIC, QStringLiteral("static"), QStringLiteral("Copyright (C) 2026"),
            child | SS_LEFT | WS_GROUP, 42, 26, 114, 8 },
        { IDOK, QStringLiteral("button"), QStringLiteral("OK"),
            child | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 113, 41, 50, 14 },
    };
    return t;
}

DialogTemplate MakeSettingsDialog()
{
    DialogTemplate t;
    t.id = IDD_DRAW;
    t.caption = QStringLiteral("設定Dialog");
    t.cx = 121;
    t.cy = 68;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    t.fontName = QStringLiteral("MS Shell Dlg");
    t.pointSize = 8;
    t.fontWeight = 400;
    t.fontItalic = false;
    t.fontCharset = 1;
    const unsigned child = WS_CHILD | WS_VISIBLE;
    t.items = {
        { IDC_RADIO_SINE, QStringLiteral("button"), QStringLiteral("Sin wave"),
            child | WS_GROUP | BS_AUTORADIOBUTTON, 13, 14, 43, 10 },
        { IDC_RADIO_STEP, QStringLiteral("button"), QStringLiteral("Step"),
            child | BS_AUTORADIOBUTTON, 13, 27, 31, 10 },
        { IDC_STATIC, QStringLiteral("button"), QStringLiteral("Input"),
            child | WS_GROUP | BS_GROUPBOX, 7, 3, 55, 40 },
        { IDOK, QStringLiteral("button"), QStringLiteral("OK"),
            child | WS_TABSTOP | BS_DEFPUSHBUTTON, 8, 48, 50, 14 },
        { IDCANCEL, QStringLiteral("button"), QStringLiteral("キャンセル"),
            child | WS_TABSTOP | BS_PUSHBUTTON, 64, 48, 50, 14 },
        { IDC_STATIC, QStringLiteral("static"), QStringLiteral("Hz"), child | WS_GROUP | SS_LEFT,
            103, 15, 11, 8 },
        { IDC_EDIT_FREQ, QStringLiteral("edit"), QString(),
            child | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, 68, 13, 31, 14 },
    };
    return t;
}

const std::map<int, QString>& StringTable()
{
    static const std::map<int, QString> table = [] {
        std::map<int, QString> s {
            { IDR_MAINFRAME, QStringLiteral("Vorn") },
            { IDR_VornTYPE, QStringLiteral("\nVorn\nVorn\n\n\nVorn.Document\nVorn.Document") },
            { AFX_IDS_APP_TITLE, QStringLiteral("Vorn") },
            { AFX_IDS_IDLEMESSAGE, QStringLiteral("レディ") },

            { 57600, QStringLiteral("新規にファイルを作成\n新規ファイル") },
            { 57601, QStringLiteral("既存のファイルを開く\n開く") },
            { 57602, QStringLiteral("作業中のファイルを閉じる\n閉じる") },
            { 57603, QStringLiteral("作業中のファイルを上書きして保存\n保存") },
            { 57604, QStringLiteral("作業中のファイルを新しい名前で保存\n名前を付けて保存") },
            { 57605, QStringLiteral("印刷オプションの変更\nページ設定") },
            { 57606, QStringLiteral("プリンターおよび印刷オプションの変更\n印刷設定") },
            { 57607, QStringLiteral("作業中のファイルを印刷\n印刷") },
            { 57608, QStringLiteral("現在の設定でファイルを直接印刷\nクイック印刷") },
            { 57609, QStringLiteral("印刷イメージを表示\n印刷プレビュー") },
            { 57632, QStringLiteral("選択範囲を消去\n消去") },
            { 57633, QStringLiteral("すべて消去\nすべて消去") },
            { 57634, QStringLiteral("選択範囲をコピーしてクリップボードに保存\nコピー") },
            { 57635, QStringLiteral("選択範囲を切り取ってクリップボードに保存\n切り取り") },
            { 57636, QStringLiteral("指定した文字列の検索\n検索") },
            { 57637, QStringLiteral("クリップボードの内容を貼り付け\n貼り付け") },
            { 57640, QStringLiteral("直前に行った動作を繰り返す\n繰り返し") },
            { 57641, QStringLiteral("指定した文字列を他の文字列で置換\n置換") },
            { 57642, QStringLiteral("ファイル内のすべてを選択\nすべて選択") },
            { 57643, QStringLiteral("直前に行った動作を元に戻す\n元に戻す") },
            { 57644, QStringLiteral("取り消した操作をやり直す\nやり直し") },
            { 57648, QStringLiteral("作業中のウィンドウを複写して表示\n新しいウィンドウ") },
            { 57649, QStringLiteral("ウィンドウの下にアイコンを整列\nアイコンの整列") },
            { 57650, QStringLiteral("ウィンドウを重ねて表示\n重ねて表示") },
            { 57651, QStringLiteral("ウィンドウを並べて表示\n並べて表示") },
            { 57652, QStringLiteral("ウィンドウを並べて表示\n並べて表示") },
            { 57653, QStringLiteral("作業中のウィンドウを分割\n分割") },
            { 57664,
                QStringLiteral(
                    "プログラム情報、バージョン、著作権を表示します。\nバージョン情報") },
            { 57665, QStringLiteral("アプリケーションを終了し、ファイルの保存を指示\n終了") },
            { 57680, QStringLiteral("次のウィンドウに切り替える\n次のペイン") },
            { 57681, QStringLiteral("前のウィンドウに切り替える\n前のペイン") },
            { 59392, QStringLiteral("ツール バーの表示/非表示\nツール バーの表示切り替え") },
            { 59393,
                QStringLiteral("ステータス バーの表示/非表示\nステータス バーの表示切り替え") },
            { 61184, QStringLiteral("ウィンドウのサイズを変更") },
            { 61185, QStringLiteral("ウィンドウの位置を変更") },
            { 61186, QStringLiteral("ウィンドウを最小化する") },
            { 61187, QStringLiteral("ウィンドウを最大化する") },
            { 61188, QStringLiteral("次のウィンドウに切り替える") },
            { 61189, QStringLiteral("前のウィンドウに切り替える") },
            { 61190, QStringLiteral("作業中のウィンドウを閉じ、変更したファイルの保存を指示") },
            { 61202, QStringLiteral("ウィンドウを通常のサイズに戻す") },
            { 61203, QStringLiteral("タスク一覧をアクティブにする") },
            { 61215, QStringLiteral("このウィンドウをアクティブにする") },
            { 61445, QStringLiteral("印刷プレビュー モードを閉じる\nプレビューのキャンセル") },
            { 59136, QStringLiteral("EXT") },
            { 59137, QStringLiteral("CAP") },
            { 59138, QStringLiteral("NUM") },
            { 59139, QStringLiteral("SCRL") },
            { 59140, QStringLiteral("OVR") },
            { 59141, QStringLiteral("REC") },

            { IDS_FREQ_RESPONSE_TEXT,
                QStringLiteral("1KHz 6th Butterworth LPF + 1Hz HPF \r\nfreq graph : 10dB/div "
                               "1KHz/div max 20KHz") },
            { AFX_IDP_PARSE_REAL, QStringLiteral("数値を入力してください。") },
            { IDS_AUDIO_OPEN_FAILED, QStringLiteral("オーディオ出力デバイスを開けませんでした。") },
            { IDS_AUDIO_SERVER_LOST,
                QStringLiteral(
                    "サウンド サーバーとの接続が切れたため、オーディオ出力を停止しました。") },

            { IDS_ASK_TO_SAVE, QStringLiteral("%1 への変更を保存しますか?") },
            { IDS_FAILED_TO_OPEN, QStringLiteral("ドキュメント %1 を開けませんでした。\n%2") },
            { IDS_FAILED_TO_SAVE, QStringLiteral("ドキュメント %1 を保存できませんでした。\n%2") },
            { IDS_ENCODING_LOSS,
                QStringLiteral(
                    "%1 には、読み込んだときの文字コード (%2) で表せない文字が含まれています。\n"
                    "UTF-8 で保存しますか?") },
            { IDS_TEXT_NOT_FOUND, QStringLiteral("文字列 '%1' が見つかりません。") },
            { IDS_NO_PRINTER,
                QStringLiteral("プリンターが見つかりません。プリンターをインストールしてから印刷し"
                               "てください。") },
            { IDS_RECENT_FILE_PLACEHOLDER, QStringLiteral("最近使ったファイル") },
            { IDS_BINARY_ENCODING_NAME, QStringLiteral("バイナリ") },
            { IDS_ABOUT_LEGAL, QStringLiteral("Copyright (C) 2026") },
            { IDS_FIND_CAPTION, QStringLiteral("検索") },
            { IDS_REPLACE_CAPTION, QStringLiteral("置換") },
            { IDS_FIND_WHAT, QStringLiteral("検索する文字列(&N):") },
            { IDS_REPLACE_WITH, QStringLiteral("置換後の文字列(&P):") },
            { IDS_MATCH_CASE, QStringLiteral("大文字と小文字を区別する(&C)") },
            { IDS_DIRECTION, QStringLiteral("検索する方向") },
            { IDS_DIRECTION_UP, QStringLiteral("上へ(&U)") },
            { IDS_DIRECTION_DOWN, QStringLiteral("下へ(&D)") },
            { IDS_FIND_NEXT_BUTTON, QStringLiteral("次を検索(&F)") },
            { IDS_REPLACE_BUTTON, QStringLiteral("置換して次に(&R)") },
            { IDS_REPLACE_ALL_BUTTON, QStringLiteral("すべて置換(&A)") },
            { IDS_CANCEL_BUTTON, QStringLiteral("キャンセル") },
            { IDS_DOCUMENT_FILTER, QStringLiteral("すべてのファイル (*)") },
        };
        for (int id = 57616; id <= 57631; ++id) {
            s[id] = QStringLiteral("指定のファイルを開く");
        }
        return s;
    }();
    return table;
}

using Item = MenuItemTemplate;

Item Popup(const char16_t* text, std::vector<Item> items)
{
    return { Item::Popup, QString::fromUtf16(text), 0, false, std::move(items) };
}
Item Command(const char16_t* text, int id, bool grayed = false)
{
    return { Item::Command, QString::fromUtf16(text), id, grayed, {} };
}
Item Separator()
{
    return { Item::Separator, QString(), 0, false, {} };
}

std::vector<Item> MakeMainMenu()
{
    return {
        Popup(u"ファイル(&F)",
            {
                Command(u"新規作成(&N)\tCtrl+N", 57600),
                Command(u"開く(&O)...\tCtrl+O", 57601),
                Command(u"閉じる(&C)", 57602),
                Separator(),
                Command(u"プリンターの設定...", 57606),
                Separator(),
                Command(u"最近使ったファイル", 57616, true),
                Separator(),
                Command(u"アプリケーションの終了(&X)", 57665),
            }),
        Popup(u"表示(&V)",
            {
                Command(u"ツール バー(&T)", 59392),
                Command(u"ステータス バー(&S)", 59393),
            }),
        Popup(u"ヘルプ(&H)", { Command(u"バージョン情報 Vorn(&A)...", 57664) }),
    };
}

std::vector<Item> MakeDocumentMenu()
{
    return {
        Popup(u"ファイル(&F)",
            {
                Command(u"新規作成(&N)\tCtrl+N", 57600),
                Command(u"開く(&O)...\tCtrl+O", 57601),
                Command(u"閉じる(&C)", 57602),
                Command(u"上書き保存(&S)\tCtrl+S", 57603),
                Command(u"名前を付けて保存(&A)...", 57604),
                Separator(),
                Command(u"印刷(&P)...\tCtrl+P", 57607),
                Command(u"印刷プレビュー(&V)", 57609),
                Command(u"プリンターの設定...", 57606),
                Separator(),
                Command(u"最近使ったファイル", 57616, true),
                Separator(),
                Command(u"アプリケーションの終了(&X)", 57665),
            }),
        Popup(u"編集(&E)",
            {
                Command(u"元に戻す(&U)\tCtrl+Z", 57643),
                Separator(),
                Command(u"切り取り(&T)\tCtrl+X", 57635),
                Command(u"コピー(&C)\tCtrl+C", 57634),
                Command(u"貼り付け(&P)\tCtrl+V", 57637),
                Command(u"すべて選択(&L)\tCtrl+A", 57642),
                Separator(),
                Command(u"検索(&F)...\tCtrl+F", 57636),
                Command(u"次を検索(&I)\tF3", 57640),
                Command(u"置換(&E)\tCtrl+H", 57641),
            }),
        Command(u"実行(&R)", ID_RUN),
        Command(u"停止(&T)", ID_STOP),
        Popup(u"表示(&V)",
            {
                Command(u"ツール バー(&T)", 59392),
                Command(u"ステータス バー(&S)", 59393),
            }),
        Popup(u"ウィンドウ(&W)",
            {
                Command(u"新しいウィンドウを開く(&N)", 57648),
                Command(u"重ねて表示(&C)", 57650),
                Command(u"並べて表示(&T)", 57651),
                Command(u"アイコンの整列(&A)", 57649),
            }),
        Popup(u"ヘルプ(&H)", { Command(u"バージョン情報 Vorn(&A)...", 57664) }),
        Command(u"描画(&D)", ID_DRAW),
        Command(u"設定(&S)", ID_SETTINGS),
        Command(u"Ｆ特(&F)", ID_FREQ_RESPONSE),
    };
}

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    static const DialogTemplate aboutBox = MakeAboutBox();
    static const DialogTemplate settings = MakeSettingsDialog();
    switch (id) {
    case IDD_ABOUTBOX:
        return &aboutBox;
    case IDD_DRAW:
        return &settings;
    default:
        return nullptr;
    }
}

QString LoadStringResource(int id)
{
    const auto& table = StringTable();
    const auto it = table.find(id);
    return it == table.end() ? QString() : it->second;
}

QString CommandPrompt(int id)
{
    return LoadStringResource(id).section(QLatin1Char('\n'), 0, 0);
}

QString CommandTooltip(int id)
{
    return LoadStringResource(id).section(QLatin1Char('\n'), 1, 1);
}

const std::vector<MenuItemTemplate>* FindMenuTemplate(int id)
{
    static const std::vector<MenuItemTemplate> mainMenu = MakeMainMenu();
    static const std::vector<MenuItemTemplate> documentMenu = MakeDocumentMenu();
    switch (id) {
    case IDR_MAINFRAME:
        return &mainMenu;
    case IDR_VornTYPE:
        return &documentMenu;
    default:
        return nullptr;
    }
}

const std::vector<AcceleratorTemplate>& FindAcceleratorTable(int id)
{
    static const std::vector<AcceleratorTemplate> table {
        { "Ctrl+N", 57600 },
        { "Ctrl+O", 57601 },
        { "Ctrl+S", 57603 },
        { "Ctrl+P", 57607 },
        { "Ctrl+Z", 57643 },
        { "Ctrl+X", 57635 },
        { "Ctrl+C", 57634 },
        { "Ctrl+V", 57637 },
        { "Ctrl+A", 57642 },
        { "Ctrl+F", 57636 },
        { "F3", 57640 },
        { "Ctrl+H", 57641 },
        { "Alt+Backspace", 57643 },
        { "Shift+Del", 57635 },
        { "Ctrl+Ins", 57634 },
        { "Shift+Ins", 57637 },
        { "F6", 57680 },
        { "Shift+F6", 57681 },
    };
    static const std::vector<AcceleratorTemplate> none;
    return id == IDR_MAINFRAME ? table : none;
}

const std::vector<int>& FindToolBar(int id)
{
    static const std::vector<int> buttons { 57600, 57601, 57603, ID_SEPARATOR, 57635, 57634, 57637,
        ID_SEPARATOR, 57607, 57664 };
    static const std::vector<int> none;
    return id == IDR_MAINFRAME ? buttons : none;
}

} // namespace vorn
