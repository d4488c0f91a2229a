// For GUI tests: runs work on the next modal dialog once it shows.
#pragma once
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

inline void OnModal(std::function<void(QWidget*)> work) {
    QTimer::singleShot(0, [work] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            OnModal(work);
            return;
        }
        work(w);
    });
}
