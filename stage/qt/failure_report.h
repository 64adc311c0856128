#pragma once

#include <QString>

// Tells the user why the program cannot go on: one line "qorvelin: <message>" on stderr and,
// where someone sees the screen, a message box that waits for them to read it.
void ReportFailure(const QString& message);
