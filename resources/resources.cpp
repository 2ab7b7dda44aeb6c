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
        { IDC_STATIC, QStringLiteral("static"), QString::number(IDR_MAINFRAME), child | SS_ICON, 14,
            14, 21, 20 },
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

            { ID_FILE_NEW, QStringLiteral("新規にファイルを作成\n新規ファイル") },
            { ID_FILE_OPEN, QStringLiteral("既存のファイルを開く\n開く") },
            { ID_FILE_CLOSE, QStringLiteral("作業中のファイルを閉じる\n閉じる") },
            { ID_FILE_SAVE, QStringLiteral("作業中のファイルを上書きして保存\n保存") },
            { ID_FILE_SAVE_AS,
                QStringLiteral("作業中のファイルを新しい名前で保存\n名前を付けて保存") },
            { ID_FILE_PAGE_SETUP, QStringLiteral("印刷オプションの変更\nページ設定") },
            { ID_FILE_PRINT_SETUP,
                QStringLiteral("プリンターおよび印刷オプションの変更\n印刷設定") },
            { ID_FILE_PRINT, QStringLiteral("作業中のファイルを印刷\n印刷") },
            { ID_FILE_PRINT_DIRECT,
                QStringLiteral("現在の設定でファイルを直接印刷\nクイック印刷") },
            { ID_FILE_PRINT_PREVIEW, QStringLiteral("印刷イメージを表示\n印刷プレビュー") },
            { ID_EDIT_CLEAR, QStringLiteral("選択範囲を消去\n消去") },
            { ID_EDIT_CLEAR_ALL, QStringLiteral("すべて消去\nすべて消去") },
            { ID_EDIT_COPY, QStringLiteral("選択範囲をコピーしてクリップボードに保存\nコピー") },
            { ID_EDIT_CUT, QStringLiteral("選択範囲を切り取ってクリップボードに保存\n切り取り") },
            { ID_EDIT_FIND, QStringLiteral("指定した文字列の検索\n検索") },
            { ID_EDIT_PASTE, QStringLiteral("クリップボードの内容を貼り付け\n貼り付け") },
            { ID_EDIT_REPEAT, QStringLiteral("直前に行った動作を繰り返す\n繰り返し") },
            { ID_EDIT_REPLACE, QStringLiteral("指定した文字列を他の文字列で置換\n置換") },
            { ID_EDIT_SELECT_ALL, QStringLiteral("ファイル内のすべてを選択\nすべて選択") },
            { ID_EDIT_UNDO, QStringLiteral("直前に行った動作を元に戻す\n元に戻す") },
            { ID_EDIT_REDO, QStringLiteral("取り消した操作をやり直す\nやり直し") },
            { ID_WINDOW_NEW, QStringLiteral("作業中のウィンドウを複写して表示\n新しいウィンドウ") },
            { ID_WINDOW_ARRANGE, QStringLiteral("ウィンドウの下にアイコンを整列\nアイコンの整列") },
            { ID_WINDOW_CASCADE, QStringLiteral("ウィンドウを重ねて表示\n重ねて表示") },
            { ID_WINDOW_TILE_HORZ, QStringLiteral("ウィンドウを並べて表示\n並べて表示") },
            { ID_WINDOW_TILE_VERT, QStringLiteral("ウィンドウを並べて表示\n並べて表示") },
            { ID_WINDOW_SPLIT, QStringLiteral("作業中のウィンドウを分割\n分割") },
            { ID_APP_ABOUT,
                QStringLiteral(
                    "プログラム情報、バージョン、著作権を表示します。\nバージョン情報") },
            { ID_APP_EXIT, QStringLiteral("アプリケーションを終了し、ファイルの保存を指示\n終了") },
            { ID_NEXT_PANE, QStringLiteral("次のウィンドウに切り替える\n次のペイン") },
            { ID_PREV_PANE, QStringLiteral("前のウィンドウに切り替える\n前のペイン") },
            { ID_VIEW_TOOLBAR,
                QStringLiteral("ツール バーの表示/非表示\nツール バーの表示切り替え") },
            { ID_VIEW_STATUS_BAR,
                QStringLiteral("ステータス バーの表示/非表示\nステータス バーの表示切り替え") },
            { AFX_IDS_SCSIZE, QStringLiteral("ウィンドウのサイズを変更") },
            { AFX_IDS_SCMOVE, QStringLiteral("ウィンドウの位置を変更") },
            { AFX_IDS_SCMINIMIZE, QStringLiteral("ウィンドウを最小化する") },
            { AFX_IDS_SCMAXIMIZE, QStringLiteral("ウィンドウを最大化する") },
            { AFX_IDS_SCNEXTWINDOW, QStringLiteral("次のウィンドウに切り替える") },
            { AFX_IDS_SCPREVWINDOW, QStringLiteral("前のウィンドウに切り替える") },
            { AFX_IDS_SCCLOSE,
                QStringLiteral("作業中のウィンドウを閉じ、変更したファイルの保存を指示") },
            { AFX_IDS_SCRESTORE, QStringLiteral("ウィンドウを通常のサイズに戻す") },
            { AFX_IDS_SCTASKLIST, QStringLiteral("タスク一覧をアクティブにする") },
            { AFX_IDS_MDICHILD, QStringLiteral("このウィンドウをアクティブにする") },
            { AFX_IDS_PREVIEW_CLOSE,
                QStringLiteral("印刷プレビュー モードを閉じる\nプレビューのキャンセル") },
            { ID_INDICATOR_EXT, QStringLiteral("EXT") },
            { ID_INDICATOR_CAPS, QStringLiteral("CAP") },
            { ID_INDICATOR_NUM, QStringLiteral("NUM") },
            { ID_INDICATOR_SCRL, QStringLiteral("SCRL") },
            { ID_INDICATOR_OVR, QStringLiteral("OVR") },
            { ID_INDICATOR_REC, QStringLiteral("REC") },

            { IDS_FREQ_RESPONSE_TEXT,
                QStringLiteral("1KHz 6th Butterworth LPF + 1Hz HPF \r\nfreq graph : 10dB/div "
                               "1KHz/div max 20KHz") },
            { AFX_IDP_PARSE_REAL, QStringLiteral("数値を入力してください。") },
            { IDS_AUDIO_OPEN_FAILED, QStringLiteral("オーディオ出力デバイスを開けませんでした。") },
            { IDS_AUDIO_SERVER_LOST,
                QStringLiteral(
                    "サウンド サーバーとの接続が切れたため、オーディオ出力を停止しました。") },
            { IDS_AUDIO_SERVER_NOT_RESPONDING,
                QStringLiteral(
                    "サウンド サーバーが応答しないため、オーディオ出力を停止しました。") },

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
            { IDS_IS_A_FOLDER, QStringLiteral("フォルダーはドキュメントとして開けません。") },
            { IDS_REGISTRY_KEY,
                QStringLiteral(
                    "アプリケーション ウィザードで生成されたローカル アプリケーション") },
            { IDS_SC_NEXTWINDOW_ITEM, QStringLiteral("次のウィンドウ(&T)") },
            { IDS_SC_PREVWINDOW_ITEM, QStringLiteral("前のウィンドウ(&P)") },
            { IDS_SC_TASKLIST_ITEM, QStringLiteral("ウィンドウの一覧(&W)...") },
            { IDS_MORE_WINDOWS, QStringLiteral("その他のウィンドウ(&M)...") },
            { IDS_SELECT_WINDOW_CAPTION, QStringLiteral("ウィンドウの選択") },
            { IDS_SELECT_WINDOW_PROMPT, QStringLiteral("アクティブにするウィンドウ:") },
            { IDS_PRINT_SETUP_CAPTION, QStringLiteral("プリンターの設定") },
            { IDS_PRINT_SETUP_OK, QStringLiteral("OK") },
        };
        for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE16; ++id) {
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
                Command(u"新規作成(&N)\tCtrl+N", ID_FILE_NEW),
                Command(u"開く(&O)...\tCtrl+O", ID_FILE_OPEN),
                Command(u"閉じる(&C)", ID_FILE_CLOSE),
                Separator(),
                Command(u"プリンターの設定...", ID_FILE_PRINT_SETUP),
                Separator(),
                Command(u"最近使ったファイル", ID_FILE_MRU_FILE1, true),
                Separator(),
                Command(u"アプリケーションの終了(&X)", ID_APP_EXIT),
            }),
        Popup(u"表示(&V)",
            {
                Command(u"ツール バー(&T)", ID_VIEW_TOOLBAR),
                Command(u"ステータス バー(&S)", ID_VIEW_STATUS_BAR),
            }),
        Popup(u"ヘルプ(&H)", { Command(u"バージョン情報 Vorn(&A)...", ID_APP_ABOUT) }),
    };
}

std::vector<Item> MakeDocumentMenu()
{
    return {
        Popup(u"ファイル(&F)",
            {
                Command(u"新規作成(&N)\tCtrl+N", ID_FILE_NEW),
                Command(u"開く(&O)...\tCtrl+O", ID_FILE_OPEN),
                Command(u"閉じる(&C)", ID_FILE_CLOSE),
                Command(u"上書き保存(&S)\tCtrl+S", ID_FILE_SAVE),
                Command(u"名前を付けて保存(&A)...", ID_FILE_SAVE_AS),
                Separator(),
                Command(u"印刷(&P)...\tCtrl+P", ID_FILE_PRINT),
                Command(u"印刷プレビュー(&V)", ID_FILE_PRINT_PREVIEW),
                Command(u"プリンターの設定...", ID_FILE_PRINT_SETUP),
                Separator(),
                Command(u"最近使ったファイル", ID_FILE_MRU_FILE1, true),
                Separator(),
                Command(u"アプリケーションの終了(&X)", ID_APP_EXIT),
            }),
        Popup(u"編集(&E)",
            {
                Command(u"元に戻す(&U)\tCtrl+Z", ID_EDIT_UNDO),
                Separator(),
                Command(u"切り取り(&T)\tCtrl+X", ID_EDIT_CUT),
                Command(u"コピー(&C)\tCtrl+C", ID_EDIT_COPY),
                Command(u"貼り付け(&P)\tCtrl+V", ID_EDIT_PASTE),
                Command(u"すべて選択(&L)\tCtrl+A", ID_EDIT_SELECT_ALL),
                Separator(),
                Command(u"検索(&F)...\tCtrl+F", ID_EDIT_FIND),
                Command(u"次を検索(&I)\tF3", ID_EDIT_REPEAT),
                Command(u"置換(&E)\tCtrl+H", ID_EDIT_REPLACE),
            }),
        Command(u"実行(&R)", ID_RUN),
        Command(u"停止(&T)", ID_STOP),
        Popup(u"表示(&V)",
            {
                Command(u"ツール バー(&T)", ID_VIEW_TOOLBAR),
                Command(u"ステータス バー(&S)", ID_VIEW_STATUS_BAR),
            }),
        Popup(u"ウィンドウ(&W)",
            {
                Command(u"新しいウィンドウを開く(&N)", ID_WINDOW_NEW),
                Command(u"重ねて表示(&C)", ID_WINDOW_CASCADE),
                Command(u"並べて表示(&T)", ID_WINDOW_TILE_HORZ),
                Command(u"アイコンの整列(&A)", ID_WINDOW_ARRANGE),
            }),
        Popup(u"ヘルプ(&H)", { Command(u"バージョン情報 Vorn(&A)...", ID_APP_ABOUT) }),
        Command(u"描画(&D)", ID_DRAW),
        Command(u"設定(&S)", ID_SETTINGS),
        Command(u"Ｆ特(&F)", ID_FREQ_RESPONSE),
    };
}

} // namespace

QString IconResourcePath(int id)
{
    switch (id) {
    case IDR_MAINFRAME:
        return QStringLiteral(":/icons/vorn.svg");
    case IDR_VornTYPE:
        return QStringLiteral(":/icons/vorn-document.svg");
    default:
        return {};
    }
}

QString ToolBarButtonImagePath(int nCommandID)
{
    switch (nCommandID) {
    case ID_FILE_NEW:
        return QStringLiteral(":/icons/toolbar/new.svg");
    case ID_FILE_OPEN:
        return QStringLiteral(":/icons/toolbar/open.svg");
    case ID_FILE_SAVE:
        return QStringLiteral(":/icons/toolbar/save.svg");
    case ID_EDIT_CUT:
        return QStringLiteral(":/icons/toolbar/cut.svg");
    case ID_EDIT_COPY:
        return QStringLiteral(":/icons/toolbar/copy.svg");
    case ID_EDIT_PASTE:
        return QStringLiteral(":/icons/toolbar/paste.svg");
    case ID_FILE_PRINT:
        return QStringLiteral(":/icons/toolbar/print.svg");
    case ID_APP_ABOUT:
        return QStringLiteral(":/icons/toolbar/about.svg");
    default:
        return {};
    }
}

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
        { "Ctrl+N", ID_FILE_NEW },
        { "Ctrl+O", ID_FILE_OPEN },
        { "Ctrl+S", ID_FILE_SAVE },
        { "Ctrl+P", ID_FILE_PRINT },
        { "Ctrl+Z", ID_EDIT_UNDO },
        { "Ctrl+X", ID_EDIT_CUT },
        { "Ctrl+C", ID_EDIT_COPY },
        { "Ctrl+V", ID_EDIT_PASTE },
        { "Ctrl+A", ID_EDIT_SELECT_ALL },
        { "Ctrl+F", ID_EDIT_FIND },
        { "F3", ID_EDIT_REPEAT },
        { "Ctrl+H", ID_EDIT_REPLACE },
        { "Alt+Backspace", ID_EDIT_UNDO },
        { "Shift+Del", ID_EDIT_CUT },
        { "Ctrl+Ins", ID_EDIT_COPY },
        { "Shift+Ins", ID_EDIT_PASTE },
        { "F6", ID_NEXT_PANE },
        { "Shift+F6", ID_PREV_PANE },
    };
    static const std::vector<AcceleratorTemplate> none;
    return id == IDR_MAINFRAME ? table : none;
}

const std::vector<int>& FindToolBar(int id)
{
    static const std::vector<int> buttons { ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_SEPARATOR,
        ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_SEPARATOR, ID_FILE_PRINT, ID_APP_ABOUT };
    static const std::vector<int> none;
    return id == IDR_MAINFRAME ? buttons : none;
}

} // namespace vorn
