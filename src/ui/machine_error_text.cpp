#include "ui/machine_error_text.h"

#include <QStringList>
#include <cstring>
#include <string_view>

namespace veldan::ui {
namespace {

using machine::MachineError;

// The text after `prefix` in `message` (the key or the name it names).
QString After(const std::string& message, std::string_view prefix) {
    const std::size_t at = message.find(prefix);
    return at == std::string::npos ? QString()
                                   : QString::fromStdString(message.substr(at + prefix.size()));
}

QString Profiles(const MachineError& error) {
    QStringList names;
    for (const std::string& p : error.profiles) names << QString::fromStdString(p);
    return names.isEmpty() ? QStringLiteral("없음") : names.join(QStringLiteral(", "));
}

// The name between the first pair of single quotes, as the messages quote it.
QString Quoted(const std::string& message) {
    const std::size_t open = message.find('\'');
    const std::size_t close = open == std::string::npos ? open : message.find('\'', open + 1);
    if (close == std::string::npos) return {};
    return QString::fromStdString(message.substr(open + 1, close - open - 1));
}

QString Reason(MachineErrorKind kind, const MachineError& error) {
    const std::string& m = error.message;
    switch (kind) {
        case MachineErrorKind::FolderMissing:
            return QStringLiteral("폴더가 없습니다.");
        case MachineErrorKind::NotAMachine:
            return QStringLiteral(
                "컴퓨터 이미지(drive_c 폴더가 있는 폴더)도, Windows가 설치된 폴더도 아닙니다. "
                "다른 폴더를 선택하세요.");
        case MachineErrorKind::NoInstallation:
            return QStringLiteral(
                "Windows가 설치된 폴더가 아닙니다. WINDOWS\\system32\\config 폴더에 SOFTWARE와 "
                "SYSTEM 레지스트리 파일이 없습니다.");
        case MachineErrorKind::Unreadable:
            return QStringLiteral("파일을 읽을 수 없습니다.");
        case MachineErrorKind::BadLine:
            return QStringLiteral("파일에 잘못된 줄이 있습니다.");
        case MachineErrorKind::ProtectedKeyRoot:
            return QStringLiteral("machine.ini의 보호 키가 알 수 없는 루트 키로 시작합니다: %1")
                .arg(After(m, ": "));
        case MachineErrorKind::ProtectedKeyMissing:
            return QStringLiteral("machine.ini의 보호 키가 레지스트리에 없습니다: %1")
                .arg(After(m, ": "));
        case MachineErrorKind::ChooseUser:
            return QStringLiteral(
                       "사용자 프로필이 여러 개 있습니다. --user 옵션으로 검사할 사용자를 "
                       "지정하세요.\n사용자: %1")
                .arg(Profiles(error));
        case MachineErrorKind::UnknownUser:
            return QStringLiteral("사용자 프로필 '%1'이(가) 없습니다.\n사용자: %2")
                .arg(Quoted(m), Profiles(error));
        case MachineErrorKind::NoUser:
            return QStringLiteral(
                "Documents and Settings 폴더에 NTUSER.DAT가 있는 사용자 프로필이 없습니다.");
        case MachineErrorKind::UserNotApplicable:
            return QStringLiteral(
                "컴퓨터 이미지에는 사용자가 한 명뿐입니다(machine.ini에 정해져 있습니다). "
                "--user 옵션은 Windows가 설치된 폴더에만 쓸 수 있습니다.");
        case MachineErrorKind::HiveNotClean:
            return QStringLiteral(
                "Windows가 레지스트리 파일을 끝까지 쓰지 못했습니다. Windows를 한 번 시작한 "
                "뒤 올바르게 종료하거나, --force 옵션으로 여세요(.LOG 파일의 변경 내용은 "
                "사라집니다).");
        case MachineErrorKind::HiveUnreadable:
            return QStringLiteral("레지스트리 파일로 읽을 수 없습니다.");
        case MachineErrorKind::NotWritten:
            return QStringLiteral("파일을 쓸 수 없습니다. 폴더에 쓰기 권한이 있는지 확인하세요.");
        case MachineErrorKind::ReadOnly:
            return QStringLiteral(
                "읽기 전용입니다. 쓰기 권한을 주거나 쓰기 가능한 곳에 복사한 뒤 다시 시도하세요.");
        case MachineErrorKind::Refused:
            return QStringLiteral(
                "권한이 없어 Windows가 일부 변경을 거부했습니다. 관리자 계정으로 다시 실행하세요.");
        case MachineErrorKind::InterruptedSave:
            return QStringLiteral(
                "중단된 저장을 마무리할 수 없습니다. 폴더에 쓰기 권한이 있는지 확인하세요.");
        case MachineErrorKind::Other:
            break;
    }
    return QStringLiteral("알 수 없는 오류가 발생했습니다.");
}

}  // namespace

QString MachineErrorText(const MachineError& error) {
    const MachineErrorKind kind = error.kind;
    QString text = Reason(kind, error);
    QString file = QString::fromStdString(error.file);
    // The folder the user chose, rather than the drive_c it lacks.
    if (kind == MachineErrorKind::NotAMachine && file.endsWith(QLatin1String("/drive_c")))
        file.chop(static_cast<int>(std::strlen("/drive_c")));
    if (!file.isEmpty()) {
        text += QStringLiteral("\n\n위치: %1").arg(file);
        if (error.line > 0) text += QStringLiteral(" (%1번째 줄)").arg(error.line);
    }
    return text;
}

}  // namespace veldan::ui
