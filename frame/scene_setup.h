#pragma once
// Start-up of the running scene: seeding, the two settings adjustments,
// camera and launch-rhythm start values, clear colour, textures.

namespace starbloom {

void setUpScene();

} // namespace starbloom
