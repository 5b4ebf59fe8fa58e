#include "core/Errors.h"

#include "core/Text.h"

namespace pomiv {

QString errorText(Error err) {
    switch (err) {
    case Ok:
        return QString();
    case NumberOverflow:
        return jp("オーバーフローしました。");
    case TypeMismatch:
        return jp("型が一致しません。");
    case FileNotFound:
        return jp("ファイルが見つかりません。");
    case FileAlreadyExists:
        return jp("既に同じ名前のファイルがあります。");
    case DeviceUnavailable:
        return jp("デバイスが使用できません。");
    case PathNotFound:
        return jp("パスが見つかりません。");
    case InvalidPicture:
        return jp("ピクチャが不正です。");
    case NetNotHttp:
        return jp("このアドレスからは取得できません（http または https のみです）。");
    case NetBusy:
        return jp("前の要求を処理しています。");
    case NetConnectFailed:
        return jp("サーバーに接続できませんでした。");
    case NetTimeout:
        return jp("サーバーが応答しません（時間切れ）。");
    case NetTooLarge:
        return jp("データが大きすぎます。");
    case NetRedirect:
        return jp("転送先のアドレスが不正か、転送が多すぎます。");
    case GeneralFailure:
        break;
    }
    return jp("操作を完了できませんでした。");
}

} // namespace pomiv
