#pragma once

// Makes Phonon load its GStreamer backend whatever the user's environment prefers; call before
// the first Phonon object exists.
void selectPhononBackend();
