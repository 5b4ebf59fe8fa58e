// A rule that shows a widget.
#include "core/Paths.h"
#include <QWidget>
