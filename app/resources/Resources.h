#pragma once

// Resources compiled into a static library are registered by hand, once.
void InitTextResources();
void InitArtResources();
