#include "tests/support/TestSupport.h"

#include "pictures/PictureDecoder.h"

namespace pomiv::test {

// Tests run from their own folders: they name the metafile helper built
// beside them.
static void useBuiltMetafileHelper() {
    setMetafileHelper(QStringLiteral(POMIV_METAFILE_HELPER));
}
Q_COREAPP_STARTUP_FUNCTION(useBuiltMetafileHelper)

} // namespace pomiv::test
