#include "Resources.h"

#include <QtGlobal>

static bool RegisterText() {
    Q_INIT_RESOURCE(harbex_text);
    return true;
}

static bool RegisterArt() {
    Q_INIT_RESOURCE(harbex_art);
    return true;
}

void InitTextResources() {
    static const bool registered = RegisterText();
    (void)registered;
}

void InitArtResources() {
    static const bool registered = RegisterArt();
    (void)registered;
}
