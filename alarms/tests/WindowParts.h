// Finding the parts of a window by their names, reading what they show and
// answering the modal dialog a command opens: shared by the alarm and Dayloom
// window fixtures.
#pragma once

#include "clockapp/tests/TestApp.h"
#include "timemodel/TimeLocation.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QTableWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

struct TWindowParts {
    // A place of its own at UTC+offset, without daylight saving.
    static void Place(TTimeLocation& l, const std::string& name, double offset = 0) {
        l.Name = name;
        l.StdOffset = offset;
        l.Rule.ReadDataString("0");
    }
    template <class T> static T* Part(QWidget* window, const char* name) {
        T* p = window->findChild<T*>(name);
        EXPECT_NE(p, nullptr) << name;
        return p;
    }
    static void Click(QWidget* window, const char* name) {
        if (auto* b = Part<QAbstractButton>(window, name)) b->click();
    }
    static QString Text(QWidget* window, const char* name) {
        if (auto* l = window->findChild<QLabel*>(name)) return l->text();
        if (auto* e = window->findChild<QLineEdit*>(name)) return e->text();
        if (auto* b = window->findChild<QAbstractButton*>(name)) return b->text();
        ADD_FAILURE() << name;
        return {};
    }
    static std::vector<std::string> Row(QTableWidget* grid, int row) {
        std::vector<std::string> r;
        for (int c = 0; c < grid->columnCount(); ++c)
            r.push_back(grid->item(row, c) ? grid->item(row, c)->text().toStdString() : "");
        return r;
    }
    // Runs the command; the modal dialog it opens gets the answer.
    static void Answering(const std::function<void()>& command,
                          const std::function<void(QWidget*)>& answer) {
        bool answered = false;
        AnswerNextModal([&answered, answer](QWidget* d) {
            answered = true;
            answer(d);
        });
        command();
        EXPECT_TRUE(answered);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
