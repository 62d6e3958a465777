// Headers precompiled for the test suites with widgets (TQ50R_PCH).
#pragma once

#include "support/precompiled_qt_core.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWidget>
