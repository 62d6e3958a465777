// A main window whose boxes and dialogs are answered by the test.
#pragma once

#include "app/main_window.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>

namespace tq50r::app::testing {

struct ScriptedWindow {
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>();
    QStringList questions;
    std::deque<bool> answers; // an unscripted question is answered No
    QStringList messages;
    std::deque<QString> saveNames; // an unscripted dialog is cancelled
    std::deque<QString> openNames;
    int endProcessCalls = 0;
    int aboutCalls = 0;

    ScriptedWindow() {
        DialogHooks& hooks = form->hooks();
        hooks.askYesNo = [this](QWidget*, const QString& text) {
            questions << text;
            if (answers.empty())
                return false;
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        };
        hooks.showMessage = [this](QWidget*, const QString& text) { messages << text; };
        hooks.saveFileName = [this](QWidget*) { return take(saveNames); };
        hooks.openFileName = [this](QWidget*) { return take(openNames); };
        hooks.endProcess = [this] { ++endProcessCalls; };
        hooks.showAbout = [this](QWidget*) { ++aboutCalls; };
    }

    static QString take(std::deque<QString>& names) {
        if (names.empty())
            return {};
        QString name = names.front();
        names.pop_front();
        return name;
    }
};

} // namespace tq50r::app::testing
