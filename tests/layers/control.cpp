// A rule that reaches a control.
#include "controls/FileList.h"
