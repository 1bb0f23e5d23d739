#pragma once
// Stopping when asked to. SIGINT, SIGTERM, SIGHUP, SIGUSR1/2 and the timer
// signals end every command promptly and cleanly: the handler removes the temporary files of writes in
// progress and notes the signal; the command sees stop_signal() at its next
// turn and ends with 128 + the signal's number. With ExitAtOnce (a tool with
// no turns to check) the handler then ends the process by the signal itself.
// SIGXFSZ and SIGPIPE are ignored either way, so a file-size limit or a
// reader that goes away fails the write (and the write is cleaned up)
// instead of killing the process mid-file.
namespace platform {

enum class OnStop { Finish, ExitAtOnce };

void install_stop_handlers(OnStop mode);

// The signal that asked the process to stop, 0 while none has.
int stop_signal();
// The exit status for it: 128 + the signal's number.
int stop_status();
// "interrupted (SIGINT)", "terminated (SIGTERM)", ...
const char* stop_description();

// Temporary files the handler removes. register_temporary returns a slot (-1
// when the list is full or the path too long; the file is then simply not
// cleaned up on a signal).
int register_temporary(const char* path);
void unregister_temporary(int slot);

}  // namespace platform
