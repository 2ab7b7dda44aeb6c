#pragma once

#include <QString>

#include <vector>

namespace vorn {

// The program's resources in one place, as a resource script holds them: dialog templates, the
// string table and the other texts of the user interface. Everything Japanese lives here.

// One control of a dialog template. Positions and sizes are in dialog units.
struct DialogItemTemplate {
    int id = -1;
    QString className; // "button", "static", "edit"
    QString text;
    unsigned style = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    int cx = 0;
    int cy = 0;
    unsigned style = 0;
    QString fontName;
    int pointSize = 0;
    std::vector<DialogItemTemplate> items; // creation order = tab order
};

// Returns the dialog template of that id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// The string table: the text of a string resource, or an empty string.
QString LoadStringResource(int id);

} // namespace vorn
