// A rule that includes only what rules may.
#include "core/Paths.h"
#include "net/InternetTransfer.h"
#include "settings/rules/NumberedNames.h"
#include <QString>
#include <memory>
