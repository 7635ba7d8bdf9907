#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/qt_test_app.h"

// Helpers for driving dialogs offscreen through their widgets, found by object name.

template <class T>
T& widget(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no widget named ") + name);
    return *found;
}

inline QLineEdit& entry(QWidget& dialog, const char* name) { return widget<QLineEdit>(dialog, name); }
inline QCheckBox& box(QWidget& dialog, const char* name) { return widget<QCheckBox>(dialog, name); }
inline void click(QWidget& dialog, const char* name) { widget<QAbstractButton>(dialog, name).click(); }
inline std::string shown(QWidget& dialog, const char* name) { return entry(dialog, name).text().toStdString(); }
inline void type(QWidget& dialog, const char* name, const char* text) {
    entry(dialog, name).setText(QString::fromUtf8(text));
}

// While it lives, answers every modal window of type T that opens (inside a
// nested exec) with answer. Each window is answered once.
template <class T>
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(T&)> answer) : answer_(std::move(answer)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            T* window = dynamic_cast<T*>(QApplication::activeModalWidget());
            // A window is marked, not remembered by address: the next one may take its place.
            if (!window || window->property("answered").toBool()) return;
            window->setProperty("answered", true);
            ++count_;
            answer_(*window);
        });
        timer_.start(5);
    }
    int count() const { return count_; }

private:
    std::function<void(T&)> answer_;
    QTimer timer_;
    int count_ = 0;
};

// A message box as the user saw it.
struct SeenBox {
    std::string title;
    std::string text;
    int buttons = 0;
    QObject* owner = nullptr;
};

// Records and closes every message box that opens while it lives.
class MessageBoxRecorder {
public:
    MessageBoxRecorder()
        : answerer_([this](QMessageBox& box) {
              seen.push_back({box.windowTitle().toStdString(), box.text().toStdString(),
                              static_cast<int>(box.buttons().size()), box.parent()});
              box.buttons().front()->click();
          }) {}
    std::vector<SeenBox> seen;

private:
    ModalAnswerer<QMessageBox> answerer_;
};

// Presses OK on a dialog whose input is refused, and gives the message box
// that said why (an empty one when not exactly one box opened).
inline SeenBox refusedOk(QWidget& dialog) {
    MessageBoxRecorder boxes;
    click(dialog, "ok");
    return boxes.seen.size() == 1 ? boxes.seen[0] : SeenBox{};
}

// The fields of the server dialogs (FTP, Gopher) that their checks look at.
struct ServerInput {
    const char* description;
    const char* host;
    const char* port;
    const char* interval;
    const char* message;  // what the refusal says
};

inline void typeServerInput(QWidget& dialog, const ServerInput& in) {
    type(dialog, "description", in.description);
    type(dialog, "host", in.host);
    type(dialog, "port", in.port);
    type(dialog, "interval", in.interval);
}
