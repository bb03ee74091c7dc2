#pragma once

// The threads that are not tied to a dialog and the two resource chains that create and stop
// them. Process resources live from login to shut-down: the mailbox with its dispatcher and the
// two threads that tear the stream down and build it again after a lost connection. Login
// resources belong to one session: the stream events and threads, the lifetime thread and the
// recorder threads.
//
// The four chains may be called from the GUI thread and from the tear-down and rebuild threads;
// they run one at a time, and each may run again after a partial run: every handle is taken out
// of its field before it is released.

#include <cstdint>

class SessionComponents;

std::uint32_t InitProcessResource(SessionComponents& components);
std::uint32_t InitLoginResource(SessionComponents& components);
std::uint32_t ExitProcessResource();
std::uint32_t ExitLoginResource(SessionComponents& components);

// Thread bodies, started by the chains.
std::uint32_t Process_KernelMessageThread(SessionComponents& components);
std::uint32_t Process_Terminate_Thread(SessionComponents& components);
std::uint32_t Process_Init_Thread(SessionComponents& components);
std::uint32_t ConnectionThread();
