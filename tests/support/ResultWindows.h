#pragma once

// Every command result window that opens while scope lives is handed to record and closed with
// Shift+Esc from its text box, as an operator closes it.

#include "monitor/FormViewResult.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>
#include <functional>

inline void RecordResultWindows(QObject* scope, std::function<void(TFormViewResult*)> record)
{
    auto* timer = new QTimer(scope);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, scope, [record = std::move(record)] {
        auto* form = qobject_cast<TFormViewResult*>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        record(form);
        QTest::keyClick(form->rchEdit, Qt::Key_Escape, Qt::ShiftModifier);
    });
    timer->start();
}
