#pragma once

#include <QString>

namespace ticktavo {

// The program's user guide, an HTML page installed with it: the full path of the installed
// copy beside the program (bin/../share/doc/ticktavo/guide.html, or wherever the install
// rules put it). A program started from its build folder, with no installed copy beside it,
// gets the guide the build generated. Where neither exists, the installed path is still
// returned: it is where the guide belongs.
QString UserGuidePath();

}  // namespace ticktavo
