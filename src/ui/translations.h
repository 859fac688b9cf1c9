#pragma once
// Qt's own texts (file and folder dialogs, standard buttons, context menus) in
// Korean, like the rest of the program: Qt's Korean translation catalogue and
// the Korean locale.

class QCoreApplication;

namespace veldan::ui {

// Installs Qt's Korean catalogue (qtbase_ko.qm from Qt's translations folder,
// shipped by Debian's qt6-translations-l10n) on `app` and makes Korean the
// default locale. Returns false when the catalogue cannot be loaded; Qt's texts
// then stay English and everything else works as before.
bool InstallKoreanTranslations(QCoreApplication& app);

// Makes Qt show dates in the Korean way where it follows the system's time
// locale (the file dialog's "수정한 날짜"); call before the application object
// exists. Sets LC_TIME for this process.
void PreferKoreanDates();

}  // namespace veldan::ui
