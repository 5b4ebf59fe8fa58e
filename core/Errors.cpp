#include "core/Errors.h"

namespace pomiv {

QString errorText(Error err) {
    switch (err) {
    case Ok:
        return QString();
    case NumberOverflow:
        return QStringLiteral("オーバーフローしました。");
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
    case NetNotHttp:
        return QStringLiteral("このアドレスからは取得できません（http または https のみです）。");
    case NetBusy:
        return QStringLiteral("前の要求を処理しています。");
    case NetConnectFailed:
        return QStringLiteral("サーバーに接続できませんでした。");
    case NetTimeout:
        return QStringLiteral("サーバーが応答しません（時間切れ）。");
    case NetTooLarge:
        return QStringLiteral("データが大きすぎます。");
    case NetRedirect:
        return QStringLiteral("転送先のアドレスが不正か、転送が多すぎます。");
    case GeneralFailure:
        break;
    }
    return QStringLiteral("操作を完了できませんでした。");
}

} // namespace pomiv
