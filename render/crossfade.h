// One frame of the show: both slides added over black, weighted by the fade.
#pragma once

#include "platform/win32.h"

// Render states for the whole run: no culling, additive blending (ONE, ONE).
void SetCrossfadeStates();

// Vertex colours for a fade factor in 0..1: grey levels of the current and
// the next slide, truncated as the weights are.
struct CrossfadeColors {
    D3DCOLOR current;
    D3DCOLOR next;
};
CrossfadeColors CrossfadeColorsFor(float fadeFactor);

// Draws and presents one frame with `fadeFactor` as the next slide's weight.
void DrawCrossfadeFrame(float fadeFactor);
