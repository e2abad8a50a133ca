#pragma once
// The generated landscape under the fireworks, lit by their lights.

namespace starbloom {

// Builds the landscape when the land setting is on.
void generateLandscape();
// Draws the landscape passes from the camera when the land setting is on.
void drawLandscapePasses();

} // namespace starbloom
