// Headers precompiled for the test suites over Qt Core (TQ50R_PCH).
#pragma once

#include "support/precompiled_plain.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
