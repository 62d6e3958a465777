// A main window whose boxes and dialogs are answered by the test.
#pragma once

#include "app/main_window.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq50r::app::testing {

// A window whose discovery stays on loopback, on ports of its own, and that scans no serial port:
// tests may run side by side and never reach the network or a real port.
inline AppOptions quietOptions() {
    AppOptions options;
    options.loopbackOnly = true;
    options.discovery.port8000 = 0;
    options.discovery.ssdpPort = 0;
    options.discovery.modulePort = 0;
    options.serialPortLister = [] { return std::optional<std::vector<std::string>>{}; };
    return options;
}

struct ScriptedWindow {
    std::unique_ptr<TForm1> form;
    QStringList questions;
    std::deque<bool> answers; // an unscripted question is answered No
    QStringList messages;
    QStringList informations;
    // What the user does in a device dialog; unscripted, it is closed at once.
    std::function<void(QDialog&)> inDialog;
    std::deque<QString> saveNames; // an unscripted dialog is cancelled
    std::deque<QString> openNames;
    int endProcessCalls = 0;
    int aboutCalls = 0;

    explicit ScriptedWindow(const AppOptions& options = quietOptions(),
                            std::unique_ptr<transport::ChannelFactory> channels = nullptr)
        : form(std::make_unique<TForm1>(options, nullptr, std::move(channels))) {
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
        hooks.showInformation = [this](QWidget*, const QString& text) { informations << text; };
        hooks.runDialog = [this](QDialog& dialog) {
            if (inDialog)
                inDialog(dialog);
        };
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
