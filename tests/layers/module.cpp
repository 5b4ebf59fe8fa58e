// A rule that names the widget module.
#include <QString>
#include <QtWidgets/QPushButton>
