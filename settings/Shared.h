#pragma once

#include <QString>

namespace pomiv {

// Values every window shares, one instance for the whole process.
inline QString AppDir;       // program's data folder, ending in one separator
inline QString MainFolder;   // the main folder, where browsing starts ("メインフォルダ")
inline QString DestFolder;   // where numbered copies go ("変換先フォルダ")
inline qint32 ViewIndex = 0; // position in the file list of the picture the viewer shows

} // namespace pomiv
