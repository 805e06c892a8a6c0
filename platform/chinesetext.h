#pragma once

class QApplication;

// The console speaks Chinese whatever language the desktop is set to: Qt's
// own buttons and dialogs (file dialogs included) through Qt's Chinese
// translation, dates and numbers through the default locale, and text in a
// CJK font. Returns false when Qt's translation could not be loaded; the
// locale and the font are set all the same.
bool useChineseText(QApplication &app);
