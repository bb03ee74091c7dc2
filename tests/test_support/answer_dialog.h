#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace test_support {

// Answers the next modal dialog of type D with `answer` once it is open.
template <class D>
void AnswerNextDialog(std::function<void(D&)> answer) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(*dialog);
        }
    });
    timer->start();
}

}  // namespace test_support
