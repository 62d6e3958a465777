#include "app/dialog_hooks.h"

#include "app/app_info.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tq50r::app {

namespace {

// Qt-style filter for the preset dialogs.
const QString PresetFilter = QStringLiteral("(bin)*.bin (*.bin)");

} // namespace

std::unique_ptr<QMessageBox> makeYesNoBox(QWidget* parent, const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QuestionCaption, text,
                                             QMessageBox::Yes | QMessageBox::No, parent);
    // Set the captions explicitly so a translated toolkit never changes them.
    box->button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box->button(QMessageBox::No)->setText(QStringLiteral("&No"));
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool askYesNo(QWidget* parent, const QString& text) {
    auto box = makeYesNoBox(parent, text);
    box->exec();
    return box->clickedButton() == box->button(QMessageBox::Yes);
}

QString askPresetSaveName(QWidget* parent) {
    // The overwrite question is the caller's, after the suffix rule.
    return QFileDialog::getSaveFileName(parent, QString(), QString(), PresetFilter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString askPresetOpenName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), PresetFilter);
}

namespace {

void showOkBox(QMessageBox::Icon icon, QWidget* parent, const QString& text) {
    QMessageBox box(icon, ApplicationTitle, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

} // namespace

void showPlainMessage(QWidget* parent, const QString& text) {
    showOkBox(QMessageBox::NoIcon, parent, text);
}

void showInformationBox(QWidget* parent, const QString& text) {
    showOkBox(QMessageBox::Information, parent, text);
}

void runModalDialog(QDialog& dialog) {
    dialog.exec();
}

} // namespace tq50r::app
