#pragma once

#include <QString>

#include <vector>

namespace vorn {

// The program's resources in one place, as a resource script holds them: menus, accelerators,
// the toolbar, dialog templates, the string table and the other texts of the user interface.
// Everything Japanese lives here.

// The identity under which the desktop groups the program's windows (its desktop file's name).
inline constexpr char kAppID[] = "Vorn.AppID.NoVersion";
// The icon theme's name of the program's icon (icons/vorn.svg, installed as vorn.svg).
inline constexpr char kAppIconName[] = "vorn";

// Resource ids of the program.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_VornTYPE = 130;
inline constexpr int IDD_DRAW = 310;

// Controls of the settings dialog and the standard dialog ids.
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_RADIO_SINE = 1000;
inline constexpr int IDC_RADIO_STEP = 1002;
inline constexpr int IDC_EDIT_FREQ = 1003;

// The simulation commands.
inline constexpr int ID_RUN = 32772;
inline constexpr int ID_STOP = 32775;
inline constexpr int ID_DRAW = 32778;
inline constexpr int ID_SETTINGS = 32780;
inline constexpr int ID_FREQ_RESPONSE = 32782;

// The framework's standard command ids.
inline constexpr int ID_SEPARATOR = 0;
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PAGE_SETUP = 57605;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_DIRECT = 57608;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_FILE_MRU_FILE16 = 57631;
inline constexpr int ID_EDIT_CLEAR = 57632;
inline constexpr int ID_EDIT_CLEAR_ALL = 57633;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_FIND = 57636;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_REPEAT = 57640;
inline constexpr int ID_EDIT_REPLACE = 57641;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
inline constexpr int ID_WINDOW_NEW = 57648;
inline constexpr int ID_WINDOW_ARRANGE = 57649;
inline constexpr int ID_WINDOW_CASCADE = 57650;
inline constexpr int ID_WINDOW_TILE_HORZ = 57651;
inline constexpr int ID_WINDOW_TILE_VERT = 57652;
inline constexpr int ID_WINDOW_SPLIT = 57653;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_INDICATOR_EXT = 59136;
inline constexpr int ID_INDICATOR_CAPS = 59137;
inline constexpr int ID_INDICATOR_NUM = 59138;
inline constexpr int ID_INDICATOR_SCRL = 59139;
inline constexpr int ID_INDICATOR_OVR = 59140;
inline constexpr int ID_INDICATOR_REC = 59141;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;
// The prompts of the system menu's commands, of a Window-menu entry, and of closing the preview.
inline constexpr int AFX_IDS_SCSIZE = 61184;
inline constexpr int AFX_IDS_SCMOVE = 61185;
inline constexpr int AFX_IDS_SCMINIMIZE = 61186;
inline constexpr int AFX_IDS_SCMAXIMIZE = 61187;
inline constexpr int AFX_IDS_SCNEXTWINDOW = 61188;
inline constexpr int AFX_IDS_SCPREVWINDOW = 61189;
inline constexpr int AFX_IDS_SCCLOSE = 61190;
inline constexpr int AFX_IDS_SCRESTORE = 61202;
inline constexpr int AFX_IDS_SCTASKLIST = 61203;
inline constexpr int AFX_IDS_MDICHILD = 61215;
inline constexpr int AFX_IDS_PREVIEW_CLOSE = 61445;
// The entries of the Window popup's list of open windows.
inline constexpr int AFX_IDM_FIRST_MDICHILD = 0xFF00;
// The recent-file list holds at most this many entries (ids 57616 and up).
inline constexpr int kMaxRecentFiles = 4;

// String resources used below the shell: the frequency-response message (two lines joined by
// CR LF), the refusal of the double exchange, and the audio status texts.
inline constexpr int IDS_FREQ_RESPONSE_TEXT = 401;
inline constexpr int IDS_AUDIO_OPEN_FAILED = 410;
inline constexpr int IDS_AUDIO_SERVER_LOST = 411;
inline constexpr int IDS_AUDIO_SERVER_NOT_RESPONDING = 412;
inline constexpr int AFX_IDP_PARSE_REAL = 61715;

// The shell's own prompts and messages. Texts with %1 (and %2) take arguments.
inline constexpr int IDS_ASK_TO_SAVE = 601; // %1 document title
inline constexpr int IDS_FAILED_TO_OPEN = 602; // %1 path, %2 reason
inline constexpr int IDS_FAILED_TO_SAVE = 603; // %1 path, %2 reason
inline constexpr int IDS_ENCODING_LOSS = 604; // %1 document title, %2 encoding name
inline constexpr int IDS_TEXT_NOT_FOUND = 605; // %1 the searched text
inline constexpr int IDS_NO_PRINTER = 606;
inline constexpr int IDS_RECENT_FILE_PLACEHOLDER = 607;
inline constexpr int IDS_BINARY_ENCODING_NAME = 608;
inline constexpr int IDS_FIND_CAPTION = 620;
inline constexpr int IDS_REPLACE_CAPTION = 621;
inline constexpr int IDS_FIND_WHAT = 622;
inline constexpr int IDS_REPLACE_WITH = 623;
inline constexpr int IDS_MATCH_CASE = 624;
inline constexpr int IDS_DIRECTION = 625;
inline constexpr int IDS_DIRECTION_UP = 626;
inline constexpr int IDS_DIRECTION_DOWN = 627;
inline constexpr int IDS_FIND_NEXT_BUTTON = 628;
inline constexpr int IDS_REPLACE_BUTTON = 629;
inline constexpr int IDS_REPLACE_ALL_BUTTON = 630;
inline constexpr int IDS_CANCEL_BUTTON = 631;
inline constexpr int IDS_DOCUMENT_FILTER = 632;
inline constexpr int IDS_IS_A_FOLDER = 633;
// The per-user settings key under which the recent-file list is kept.
inline constexpr int IDS_REGISTRY_KEY = 634;
// The items that a document window's system menu adds to the toolkit's own.
inline constexpr int IDS_SC_NEXTWINDOW_ITEM = 640;
inline constexpr int IDS_SC_PREVWINDOW_ITEM = 641;
inline constexpr int IDS_SC_TASKLIST_ITEM = 642;
// The Window popup's item after the first nine windows, and the list of all windows it opens.
inline constexpr int IDS_MORE_WINDOWS = 643;
inline constexpr int IDS_SELECT_WINDOW_CAPTION = 644;
inline constexpr int IDS_SELECT_WINDOW_PROMPT = 645;
// Print setup: the print dialog's caption and its accepting button there.
inline constexpr int IDS_PRINT_SETUP_CAPTION = 646;
inline constexpr int IDS_PRINT_SETUP_OK = 647;

// Window, button, static and edit styles of the dialog templates (the desktop's values).
inline constexpr unsigned WS_POPUP = 0x80000000u;
inline constexpr unsigned WS_CHILD = 0x40000000u;
inline constexpr unsigned WS_VISIBLE = 0x10000000u;
inline constexpr unsigned WS_CAPTION = 0x00C00000u;
inline constexpr unsigned WS_BORDER = 0x00800000u;
inline constexpr unsigned WS_SYSMENU = 0x00080000u;
inline constexpr unsigned WS_GROUP = 0x00020000u;
inline constexpr unsigned WS_TABSTOP = 0x00010000u;
inline constexpr unsigned DS_SETFONT = 0x00000040u;
inline constexpr unsigned DS_MODALFRAME = 0x00000080u;
inline constexpr unsigned DS_FIXEDSYS = 0x00000008u;
inline constexpr unsigned BS_PUSHBUTTON = 0x00000000u;
inline constexpr unsigned BS_DEFPUSHBUTTON = 0x00000001u;
inline constexpr unsigned BS_GROUPBOX = 0x00000007u;
inline constexpr unsigned BS_AUTORADIOBUTTON = 0x00000009u;
inline constexpr unsigned SS_LEFT = 0x00000000u;
inline constexpr unsigned SS_ICON = 0x00000003u;
inline constexpr unsigned SS_NOPREFIX = 0x00000080u;
inline constexpr unsigned ES_LEFT = 0x00000000u;
inline constexpr unsigned ES_AUTOHSCROLL = 0x00000080u;

// One control of a dialog template. Positions and sizes are in dialog units. A static icon
// (SS_ICON) carries the icon's resource id as its text.
struct DialogItemTemplate
{
    int id = -1;
    QString className; // "button", "static", "edit"
    QString text;
    unsigned style = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogTemplate
{
    int id = 0;
    QString caption;
    int cx = 0;
    int cy = 0;
    unsigned style = 0;
    QString fontName;
    int pointSize = 0;
    std::vector<DialogItemTemplate> items; // creation order = tab order
    int x = 0;
    int y = 0;
    unsigned exStyle = 0;
    int fontWeight = 400;
    bool fontItalic = false;
    int fontCharset = 1;
};

// The image of an icon resource (IDR_MAINFRAME, IDR_VornTYPE) or of a toolbar button (its command
// id), as a path into the program's compiled-in files; empty for an unknown id.
QString IconResourcePath(int id);
QString ToolBarButtonImagePath(int nCommandID);

// Returns the dialog template of that id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// The string table: the text of a string resource, or an empty string. Command prompts hold the
// status-bar text, then optionally a newline and the tooltip.
QString LoadStringResource(int id);

// The status-bar part of a command's string (before the newline), and its tooltip (after it).
QString CommandPrompt(int id);
QString CommandTooltip(int id);

// A menu: its top-level entries in order. A popup carries items; a command carries an id; a
// separator carries nothing. Texts use "&" for the mnemonic and "\t" before the shortcut text.
struct MenuItemTemplate
{
    enum Kind { Popup, Command, Separator };
    Kind kind = Command;
    QString text;
    int id = 0;
    bool grayed = false;
    std::vector<MenuItemTemplate> items;
};

// Returns menu 128 or 130, or nullptr.
const std::vector<MenuItemTemplate>* FindMenuTemplate(int id);

// One accelerator: the key in QKeySequence's portable text form and the command id.
struct AcceleratorTemplate
{
    const char* key;
    int id;
};

// The accelerator table of that id in table order (empty for an unknown id).
const std::vector<AcceleratorTemplate>& FindAcceleratorTable(int id);

// The toolbar's entries from left to right; ID_SEPARATOR (0) stands for a separator.
const std::vector<int>& FindToolBar(int id);

} // namespace vorn
