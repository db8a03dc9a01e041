#pragma once
// Answers the modal windows a command brings up (file dialogs, message
// boxes, dialogs), for the widget tests and the screenshot tools, which
// drive the real windows without anybody at the keyboard: message boxes are
// answered by clicking their buttons or pressing keys, as a user would.
// Steps run in order from a timer of the GUI thread, so they also run while
// a modal window's own event loop runs. A step gets the active modal window
// and returns true when it is done with it (false: not the window it waits
// for, try again at the next tick). Header only, like OffscreenApp.h: only
// programs that link Qt Widgets and Qt Test include it. GUI thread only.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class ModalScript {
public:
    using Step = std::function<bool(QWidget* modal)>;

    ModalScript() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }

    // Adds a step; the script starts with its first step.
    ModalScript& Then(Step step) {
        m_steps.push_back(std::move(step));
        if (!m_timer.isActive()) m_timer.start();
        return *this;
    }
    // A step for the next modal window of type T: `act` works on it.
    template <typename T>
    ModalScript& On(std::function<void(T*)> act) {
        return Then([act = std::move(act)](QWidget* modal) {
            T* w = dynamic_cast<T*>(modal);  // also for dialogs without Q_OBJECT
            if (w == nullptr) return false;
            act(w);
            return true;
        });
    }
    // Puts `path` in a file dialog as if typed, then accepts it. (selectFile
    // alone may lose the name while the dialog still loads the folder.)
    static void Choose(QFileDialog* d, const QString& path) {
        d->selectFile(path);
        if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(path);
        static_cast<QDialog*>(d)->accept();
    }
    // A file dialog: `path` chosen.
    ModalScript& ChooseFile(const QString& path) {
        return On<QFileDialog>([path](QFileDialog* d) { Choose(d, path); });
    }
    // A folder browser: `folder` chosen.
    ModalScript& ChooseFolder(const QString& folder) {
        return On<QFileDialog>([folder](QFileDialog* d) {
            d->setDirectory(folder);
            Choose(d, folder);
        });
    }
    // Any dialog closed with Cancel.
    ModalScript& Cancel() {
        return On<QDialog>([](QDialog* d) { d->reject(); });
    }
    // A message box: its button `which` clicked with the mouse. A box
    // without that button is left for the watchdog.
    ModalScript& Press(QMessageBox::StandardButton which) {
        return Then([this, which](QWidget* modal) {
            auto* box = dynamic_cast<QMessageBox*>(modal);
            QAbstractButton* button = box != nullptr ? box->button(which) : nullptr;
            if (button == nullptr) return false;
            Keep(*box);
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        });
    }
    // A message box: `key` pressed where its focus is (Return takes the
    // focused default button, Escape the box's negative answer).
    ModalScript& PressKey(Qt::Key key) {
        return On<QMessageBox>([this, key](QMessageBox* box) {
            Keep(*box);
            QWidget* focus = box->focusWidget();
            QTest::keyClick(focus != nullptr ? focus : box, key);
        });
    }

    // What a message box that a step answered showed.
    struct Box {
        std::string title;
        std::string text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        std::string details;  // its detailed text
    };
    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const Box& b : m_boxes) texts.push_back(b.text);
        return texts;
    }

    bool Done() const { return m_steps.empty(); }
    // Window titles of the modal windows the steps met, in order.
    const std::vector<std::string>& Seen() const { return m_seen; }

private:
    void Keep(const QMessageBox& box) {
        m_boxes.push_back({box.windowTitle().toStdString(), box.text().toStdString(), box.icon(),
                           box.standardButtons(), box.detailedText().toStdString()});
    }
    void Tick() {
        if (m_steps.empty()) {
            m_timer.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || m_busy) return;
        // A step may open a nested event loop (e.g. a message box's): no
        // second step meanwhile.
        m_busy = true;
        const std::string title = modal->windowTitle().toStdString();
        const bool done = m_steps.front()(modal);
        m_busy = false;
        if (done) {
            m_seen.push_back(title);
            m_steps.pop_front();
        }
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    std::vector<std::string> m_seen;
    std::vector<Box> m_boxes;
    bool m_busy = false;
};

// Closes a modal window that nobody answers for `limitMs` (a dialog a
// script did not expect), so that a run ends instead of waiting for ever;
// what it closed is printed on standard error and kept for the caller.
class ModalWatchdog {
public:
    explicit ModalWatchdog(int limitMs = 10000) : m_limitMs(limitMs) {
        m_timer.setInterval(100);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
    }
    const std::vector<std::string>& Closed() const { return m_closed; }

private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != m_modal) {
            m_modal = modal;
            m_since.start();
            return;
        }
        if (modal == nullptr || m_since.elapsed() < m_limitMs) return;
        std::string what = modal->windowTitle().toStdString();
        if (auto* box = dynamic_cast<QMessageBox*>(modal)) what += ": " + box->text().toStdString();
        std::fprintf(stderr, "closing a window nobody answered: %s\n", what.c_str());
        m_closed.push_back(what);
        if (auto* dialog = dynamic_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        m_since.start();
    }

    int m_limitMs;
    QTimer m_timer;
    QPointer<QWidget> m_modal;
    QElapsedTimer m_since;
    std::vector<std::string> m_closed;
};

}  // namespace testsupport
