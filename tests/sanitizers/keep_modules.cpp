// Preloaded, in an AddressSanitizer build, into the processes that run the show or
// its live player: dlclose does nothing, so every shared object stays mapped until
// LeakSanitizer looks at the heap as the process ends. Mesa's driver (unloaded by
// libglvnd at exit) and ALSA's plugins with their FFmpeg libraries (unloaded when
// PortAudio ends) otherwise leave blocks whose stacks point into unmapped memory,
// which no suppression can name. With them mapped, the driver's blocks are named
// (lsan.supp beside this file) and the plugins' stay reachable from their own
// globals; a block of ours that leaks is reported as before.

// Leaves the object loaded.
extern "C" int dlclose(void*)
{
    return 0;
}
