#pragma once

class QFileDialog;

// Makes a file dialog readable for the operator whatever the desktop: Qt's
// own dialog (the same everywhere, and in Chinese with Qt's translation),
// the detail view with a name column wide enough for long file names, dates
// and sizes written the Chinese way, and a size that fits a 1024×768 screen.
// Call it before the dialog is shown.
void prepareFileDialog(QFileDialog *dialog);
