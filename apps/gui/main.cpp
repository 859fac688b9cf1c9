// Veldan: the scanner with its Korean user interface.
#include <QApplication>
#include <QFont>
#include <cstdio>

#include "ui/prompter.h"
#include "ui/translations.h"
#include "ui/veldan_app.h"

int main(int argc, char** argv) {
    veldan::ui::PreferKoreanDates();
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELDAN"));
    // Korean texts in the dialog font where it exists, else a Korean font of the desktop.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Gulim"), QStringLiteral("NanumGothic"),
                      QStringLiteral("Noto Sans CJK KR"), font.family()});
    font.setPointSize(9);
    QApplication::setFont(font);
    // Qt's own dialogs and buttons speak Korean too.
    veldan::ui::InstallKoreanTranslations(qt);

    veldan::ui::StartOptions options;
    std::string error;
    if (!veldan::ui::ParseStartArgs(QApplication::arguments().mid(1), options, error)) {
        std::fprintf(stderr, "Veldan: %s\n%s", error.c_str(), veldan::ui::StartUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(veldan::ui::StartUsage().c_str(), stdout);
        return 0;
    }
    veldan::ui::QtPrompter prompter;
    return veldan::ui::CVeldanApp(prompter).Run(options);
}
