#pragma once

// A command that waits in an event loop of its own (a job on the worker
// thread, a request to a server) holds the window while it waits: events
// keep coming, so the window paints, but what comes from outside the
// window and would change what the command works on (a later start handing
// over a catalog to open) waits until the last hold ends.
class TCommandHold
{
public:
    TCommandHold();
    ~TCommandHold();
    TCommandHold(const TCommandHold &) = delete;
    TCommandHold &operator=(const TCommandHold &) = delete;

    // Whether a hold is under way (the window's thread only).
    static bool Held();
};
