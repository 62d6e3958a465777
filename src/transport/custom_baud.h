#pragma once
// Line speeds that have no termios constant (14400, 56000, ...) are set through termios2.
namespace tq50r::transport::detail {

/// Sets any input and output speed on `fd`; returns 0 or an errno value.
int setArbitrarySpeed(int fd, int speedBps);

} // namespace tq50r::transport::detail
