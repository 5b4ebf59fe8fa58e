#include "core/Errors.h"

namespace pomiv {

QString errorText(int err) {
    switch (err) {
    case Ok:
        return QString();
    case TypeMismatch:
        return QStringLiteral("型が一致しません。");
    case FileNotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case FileAlreadyExists:
        return QStringLiteral("既に同じ名前のファイルがあります。");
    case DeviceUnavailable:
        return QStringLiteral("デバイスが使用できません。");
    case PathNotFound:
        return QStringLiteral("パスが見つかりません。");
    case InvalidPicture:
        return QStringLiteral("ピクチャが不正です。");
    default:
        return QStringLiteral("操作を完了できませんでした。");
    }
}

} // namespace pomiv
