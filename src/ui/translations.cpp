#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace veldan::ui {
namespace {

// The few texts of Qt 6 that its Korean catalogue does not know yet: the file
// kinds the file dialog's "형식" column shows (they moved to a new context).
class MissingQtTexts final : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        static const struct {
            const char* source;
            const char* korean;
        } kTexts[] = {
            {"Drive", "드라이브"},     {"Folder", "폴더"}, {"File Folder", "파일 폴더"},
            {"Shortcut", "바로 가기"}, {"Alias", "별칭"},  {"Unknown", "알 수 없음"},
        };
        for (const auto& t : kTexts) {
            if (qstrcmp(source, t.source) == 0) return QString::fromUtf8(t.korean);
        }
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

void PreferKoreanDates() {
    // Qt formats the file dialog's dates in the system's time locale.
    qputenv("LC_TIME", "ko_KR.UTF-8");
}

bool InstallKoreanTranslations(QCoreApplication& app) {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    QLocale::setDefault(korean);
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
    // Owned by the application: it stays installed for the whole run.
    auto* catalogue = new QTranslator(&app);
    if (!catalogue->load(korean, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete catalogue;
        return false;
    }
    return QCoreApplication::installTranslator(catalogue);
}

}  // namespace veldan::ui
