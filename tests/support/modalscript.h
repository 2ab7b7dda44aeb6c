#pragma once

// Drives modal dialogs and message boxes through their real widgets: a timer watches the active
// modal widget and, when it is of the kind the next step expects, runs that step. Steps press
// buttons through queued clicks, so that a nested modal loop started by a click never blocks the
// timer that drives it.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class ModalScript : public QObject
{
public:
    // Handles the widget and returns true, or returns false to wait for another one.
    using Step = std::function<bool(QWidget*)>;

    explicit ModalScript(std::vector<Step> steps)
        : m_steps(std::move(steps))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
        m_clock.start();
    }

    // Whether every step ran.
    [[nodiscard]] bool finished() const { return m_next == m_steps.size(); }
    [[nodiscard]] std::size_t stepsDone() const { return m_next; }

    static void press(QAbstractButton* button)
    {
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    }

    // A step for a message box: checks it with `check`, then presses its OK button.
    static Step acceptMessageBox(std::function<void(QMessageBox*)> check)
    {
        return [check = std::move(check)](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr) {
                return false;
            }
            check(box);
            press(box->button(QMessageBox::Ok));
            return true;
        };
    }

    // A step for a message box: notes its text, then presses its button `which` (or rejects the
    // box when it has no such button).
    static Step pressMessageBox(QMessageBox::StandardButton which, QString* text = nullptr)
    {
        return [which, text](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr) {
                return false;
            }
            if (text != nullptr) {
                *text = box->text();
            }
            if (QAbstractButton* button = box->button(which)) {
                press(button);
            } else {
                box->reject();
            }
            return true;
        };
    }

    // A step for whatever modal window comes next.
    static Step anyModal(std::function<void(QWidget*)> act)
    {
        return [act = std::move(act)](QWidget* widget) {
            act(widget);
            return true;
        };
    }

private:
    void poll()
    {
        if (finished()) {
            m_timer.stop();
            return;
        }
        QWidget* widget = QApplication::activeModalWidget();
        // A step that never comes must not hang the test: close whatever is open, and let the
        // test see that the script did not finish.
        if (m_clock.elapsed() > 20000) {
            if (auto* dialog = qobject_cast<QDialog*>(widget)) {
                dialog->reject();
            }
            return;
        }
        if (widget != nullptr && widget->isVisible() && m_steps[m_next](widget)) {
            ++m_next;
        }
    }

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

// A script of one step: acts on the next modal window. finished() tells afterwards whether it
// appeared.
inline std::unique_ptr<ModalScript> onNextModal(std::function<void(QWidget*)> act)
{
    return std::make_unique<ModalScript>(
        std::vector<ModalScript::Step> { ModalScript::anyModal(std::move(act)) });
}

// A script of one step: presses the next message box's button (see pressMessageBox).
inline std::unique_ptr<ModalScript> pressOnNextMessageBox(
    QMessageBox::StandardButton which, QString* text = nullptr)
{
    return std::make_unique<ModalScript>(
        std::vector<ModalScript::Step> { ModalScript::pressMessageBox(which, text) });
}
