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
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = AfxGetMainWnd();
    }
    QMessageBox box(owner);
    box.setWindowTitle(LoadStringResource(AFX_IDS_APP_TITLE));
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setIcon((nType & 0xF0u) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return IDOK;
}

} // namespace vorn
