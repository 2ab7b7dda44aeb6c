#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// Helpers of the shell tests: answering the next modal window that opens, and a private
// settings directory.

// When the next modal window appears (polled every 10 ms, for at most 5 s), calls act on it.
// The returned flag tells afterwards whether it appeared.
inline std::shared_ptr<bool> onNextModal(std::function<void(QWidget*)> act)
{
    auto seen = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, seen, tries, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr) {
            timer->stop();
            timer->deleteLater();
            *seen = true;
            act(modal);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
    return seen;
}

// Presses the message box's standard button (or closes any other dialog with reject()).
inline std::shared_ptr<bool> pressOnNextMessageBox(
    QMessageBox::StandardButton which, QString* text = nullptr)
{
    return onNextModal([which, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
            return;
        }
        if (text) {
            *text = box->text();
        }
        if (QAbstractButton* button = box->button(which)) {
            button->click();
        } else {
            box->reject();
        }
    });
}

// Points the per-user settings (XDG_CONFIG_HOME, HOME) at a fresh temporary directory. Call
// before the first QSettings of the process.
inline std::unique_ptr<QTemporaryDir> isolateSettings()
{
    auto dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", dir->filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("HOME", dir->path().toLocal8Bit());
    return dir;
}
