#pragma once
// Live edits: the module and the images reloaded when asked (r, a script's m) or when their
// files change on disk, the show replayed to where it stands.
#include <vector>

// Reloads the module (when asked) and the images given (IMAGE_SLOTS indices), and replays the show
// to where it stands; what fails to load keeps its previous version and the message says so.
void reload(bool module, const std::vector<int>& images);

// Reloads the module and every image.
void reloadAll();

// Says a module reload is done once the picture has the new song (the window's studio: the reload goes
// on while it plays).
void checkReload();

// Watches the module's and the images' directories for new versions of their files.
void watchFiles();

// Reloads what changed on disk since the last look: the module, the images.
void takeChanges();
