#pragma once
// Answers a modal dialog of type Dialog once it shows: the modal loop keeps
// the test from going on, so a timer of the event loop looks for the dialog
// and hands it to answer, which clicks what the user would. Counts the
// dialogs it saw.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

template <class Dialog>
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(Dialog*)> answer) : answer_(std::move(answer))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<Dialog*>(w); d && d->isVisible() && d != handled_) {
                    handled_ = d;
                    ++shown;
                    answer_(d);
                }
        });
        timer_.start();
    }
    int shown = 0;

private:
    std::function<void(Dialog*)> answer_;
    QTimer timer_;
    Dialog* handled_ = nullptr;
};
