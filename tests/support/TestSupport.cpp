#include "tests/support/TestSupport.h"

#include "platform/PictureDecoder.h"

// Tests run from their own folders: they name the metafile helper built
// beside them.
static void useBuiltMetafileHelper() {
    pomiv::setMetafileHelper(QStringLiteral(POMIV_METAFILE_HELPER));
}
Q_COREAPP_STARTUP_FUNCTION(useBuiltMetafileHelper)
