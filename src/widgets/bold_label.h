// A label in the bold cut of its font, placed at a point and sized to its text: the captions of
// the program's small dialogs.
#pragma once

#include <QLabel>
#include <QPoint>
#include <QString>

namespace tq50r::widgets {

inline QLabel* boldLabel(const QString& text, QPoint at, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->move(at);
    label->adjustSize();
    return label;
}

} // namespace tq50r::widgets
