#pragma once

namespace veldrin {

// INT, TERM and HUP end the application the way "Quit Veldrin" does, so that
// termination handling (and the demo's clean-up) still runs.
void quitOnTerminationSignals();

} // namespace veldrin
