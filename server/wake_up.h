// A wake-up for the server loop: a handle that the loop waits on beside its
// sockets and that another thread signals to end the wait at once (a stop
// request). An eventfd on Linux (wake_up_posix.cpp), a loopback datagram
// socket connected to itself on Windows (wake_up_windows.cpp), where only
// sockets can be waited on together with sockets.
#pragma once

namespace sint {

class WakeUp {
public:
    WakeUp() = default;
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    // False when no handle can be made.
    bool open();
    // The handle to wait on for reading (a socket on Windows).
    int handle() const { return handle_; }
    // Makes the handle readable; safe from any thread.
    void signal();
    // Takes the signals, so that the next wait blocks again.
    void drain();

private:
    int handle_ = -1;
};

}  // namespace sint
