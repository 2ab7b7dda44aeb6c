#include "messagebox.h"

#include "resources.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

namespace vorn {

namespace {

QPointer<QWidget>& RegisteredMainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

QMessageBox::StandardButtons Buttons(unsigned nType)
{
    switch (nType & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case MB_YESCANCEL:
        return QMessageBox::Yes | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon Icon(unsigned nType)
{
    switch (nType & MB_ICONMASK) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int Result(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

QWidget* Owner()
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return AfxGetMainWnd();
}

} // namespace

void AfxSetMainWnd(QWidget* window)
{
    RegisteredMainWindow() = window;
}

QWidget* AfxGetMainWnd()
{
    if (QWidget* window = RegisteredMainWindow()) {
        return window;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) != nullptr) {
            return widget;
        }
    }
    return nullptr;
}

int AfxMessageBox(const QString& text, unsigned nType, unsigned)
{
    QMessageBox box(Owner());
    box.setWindowTitle(LoadStringResource(AFX_IDS_APP_TITLE));
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setIcon(Icon(nType));
    const QMessageBox::StandardButtons buttons = Buttons(nType);
    box.setStandardButtons(buttons);
    box.setDefaultButton((buttons & QMessageBox::Yes) != 0 ? QMessageBox::Yes : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    return Result(box.exec());
}

} // namespace vorn
