#pragma once
// The program's title and how it is given to the toolkit.
#include <QString>

namespace fwug {

// Caption of the program's plain message boxes.
QString ApplicationTitle();

// Names the application. The title is deliberately not made the toolkit's
// display name: that would be appended to every window's caption, so the
// main window would no longer show exactly the caption it sets.
void SetUpApplication();

} // namespace fwug
