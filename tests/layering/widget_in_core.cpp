// Must not compile: the core library has no widgets to include.
#include <QtWidgets/QWidget>
