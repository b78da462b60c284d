#pragma once

#include "image.h"

// The demo's three textures. Each tiles seamlessly: everything periodic in
// them repeats exactly once or a whole number of times across the picture.

// 128 × 128: four upright oak planks held by two iron bands with rivets.
Image paintDoorBands();
// 64 × 64: four cream limestone tiles, two by two, in grey grout.
Image paintLimestoneTile();
// 128 × 128: four grey, sun-bleached boards lying along the width, with
// cracks, knots and rusty nails.
Image paintWeatheredWood();
