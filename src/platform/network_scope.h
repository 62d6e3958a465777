// A process-wide promise that nothing of this process searches the real network.
#pragma once

namespace tq50r::platform {

// From now on every device search of this process keeps to 127.0.0.0/8, whatever its options
// say. Test and benchmark programs call it first thing, so that no window they make can ever
// broadcast on a real network. There is no way back.
void restrictToLoopback();
bool loopbackOnlyProcess();

} // namespace tq50r::platform
